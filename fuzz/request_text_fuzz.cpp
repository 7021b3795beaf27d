// Checks the request text helpers against their contracts on any input: percent-encoding gives only
// unreserved characters and %XX escapes that decode back to the UTF-8 bytes of the text; a JSON-escaped
// text parses back to itself inside a string; the UTF-8 check agrees with decoding and encoding back.

#include "client/request_text.h"

#include "json/json.h"
#include "json/json_escape.h"
#include "json/utf8.h"

#include <cstdlib>

namespace {

bool isUnreserved(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' ||
           c == u'_' || c == u'~';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (json::isWellFormedUtf8(bytes) != (json::Utf16ToUtf8(json::Utf8ToUtf16(bytes)) == bytes)) {
        std::abort();
    }

    // Any UTF-16 text, unpaired surrogates included: the input read as code units.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }

    const std::u16string encoded = client::percentEncode(text);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (isUnreserved(encoded[i])) {
            decoded += static_cast<char>(encoded[i]);
        } else if (encoded[i] == u'%' && i + 2 < encoded.size() && json::hexDigitValue(encoded[i + 1]) >= 0 &&
                   json::hexDigitValue(encoded[i + 2]) >= 0) {
            decoded +=
                static_cast<char>(json::hexDigitValue(encoded[i + 1]) * 16 + json::hexDigitValue(encoded[i + 2]));
            i += 2;
        } else {
            std::abort();
        }
    }
    if (decoded != json::Utf16ToUtf8(text)) {
        std::abort();
    }

    const std::u16string escaped = json::jsonEscaped(text);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] < 0x20 || (escaped[i] == u'"' && (i == 0 || escaped[i - 1] != u'\\'))) {
            std::abort();
        }
    }
    const auto root = json::ParseJson(u"{\"v\":\"" + escaped + u"\"}");
    if (!root || root->count() != 1 || (*root)[u"v"].asString() != text) {
        std::abort();
    }
    return 0;
}
