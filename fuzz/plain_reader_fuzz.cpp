// Feeds arbitrary bytes to the plain JSON reader and, whenever it takes them, checks that the lenient
// reader reads the same tree from them and records no line.

#include "json/json.h"
#include "json/plain_reader.h"
#include "json/utf8.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<json::JsonValue> plain = json::detail::readPlainUtf8(bytes);
    if (!plain) {
        return 0;
    }
    const std::optional<json::JsonValue> lenient = json::ParseJson(json::Utf8ToUtf16(bytes));
    if (!lenient || !json::LastParseErrors().empty() || !(*plain == *lenient)) {
        std::abort();
    }
    return 0;
}
