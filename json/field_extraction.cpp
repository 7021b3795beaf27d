#include "json/json.h"

namespace json {

std::u16string GetJsonField(std::u16string_view text, std::u16string_view key)
{
    std::u16string pattern;
    pattern.reserve(key.size() + 4);
    pattern += u'"';
    pattern += key;
    pattern += u"\":\"";
    const std::size_t match = text.find(pattern);
    if (match == std::u16string_view::npos) {
        return {};
    }
    const std::size_t start = match + pattern.size();
    const std::size_t quote = text.find(u'"', start);
    if (quote == std::u16string_view::npos || quote == start) {
        return {};
    }
    return std::u16string(text.substr(start, quote - start));
}

} // namespace json
