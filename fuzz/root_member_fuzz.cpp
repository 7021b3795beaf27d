// Reading the root's member "results" must give what the whole parse keeps under that name, for any
// bytes: read as UTF-8 and as decoded text. The first byte picks how the rest is used: as the whole
// text, or after an opening that makes "results" the root's first member, so that the reading that
// stops early is exercised as often as the one that does not. The seeds begin with a line break, which
// picks the whole text.

#include "json/json.h"
#include "json/root_member.h"
#include "json/utf8.h"

#include <cstdlib>
#include <string>

namespace {

constexpr std::u16string_view kName = u"results";

json::JsonValue memberOf(const std::optional<json::JsonValue>& root)
{
    return root ? (*root)[kName].clone() : json::JsonValue();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    static constexpr std::string_view kOpenings[] = {"", "{\"results\":", "{results:", "{\"results\":\"", " ({\"results\" :"};
    const std::string_view opening = kOpenings[data[0] % std::size(kOpenings)];
    std::string bytes(opening);
    bytes.append(reinterpret_cast<const char*>(data) + 1, size - 1);

    const json::JsonValue whole = memberOf(json::ParseJsonUtf8(bytes));
    if (!(json::RootMemberUtf8(bytes, kName) == whole)) {
        std::abort();
    }
    const std::u16string text = json::Utf8ToUtf16(bytes);
    if (!(json::RootMember(text, kName) == whole) || !(memberOf(json::ParseJson(text)) == whole)) {
        std::abort();
    }
    return 0;
}
