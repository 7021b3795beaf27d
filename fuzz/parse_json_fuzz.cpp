// Feeds arbitrary bytes to both parse entry points and checks that they agree: the same root (or none)
// and the same recorded lines, whatever the bytes hold.

#include "json/json.h"
#include "json/utf8.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<json::JsonValue> direct = json::ParseJsonUtf8(bytes);
    const std::u16string directErrors = json::LastParseErrors();
    const std::optional<json::JsonValue> decoded = json::ParseJson(json::Utf8ToUtf16(bytes));
    if (directErrors != json::LastParseErrors() || direct.has_value() != decoded.has_value() ||
        (direct && !(*direct == *decoded))) {
        std::abort();
    }
    if (decoded) {
        // Walk the whole tree through the accessors.
        const json::JsonValue copy = decoded->clone();
        if (!(copy == *decoded)) {
            std::abort();
        }
    }
    return 0;
}
