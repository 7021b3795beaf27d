// Splits the input into a key (up to the first zero byte) and a text, and checks the extraction's
// contract: the result is empty or stands in the text right after "key":" and holds no double quote.

#include "json/json.h"
#include "json/utf8.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::u16string key = json::Utf8ToUtf16(input.substr(0, split));
    const std::u16string text = json::Utf8ToUtf16(split == std::string_view::npos ? "" : input.substr(split + 1));
    const std::u16string value = json::GetJsonField(text, key);
    if (value.empty()) {
        return 0;
    }
    const std::u16string pattern = u"\"" + key + u"\":\"";
    const std::size_t at = text.find(pattern);
    if (at == std::u16string::npos || text.compare(at + pattern.size(), value.size(), value) != 0 ||
        value.find(u'"') != std::u16string::npos || text[at + pattern.size() + value.size()] != u'"') {
        std::abort();
    }
    return 0;
}
