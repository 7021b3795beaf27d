#pragma once

// One member of a JSON text's root object, read without parsing the whole text where the text allows it.

#include "json/json_value.h"

#include <string>
#include <string_view>

namespace json {

// What ParseJson(text) would give for its root's member `name`, as a value of its own: the empty value
// when there is no root, the root is an array, or the member is absent. When the root object's first
// member is `name` and holds no container, the reading stops right after that member's value: from there
// on nothing in the text can change what the whole parse keeps under that name (a later failure stops
// the parse with the member already stored, a later member of the same name is refused). Anything else
// is read by the whole parse. The parse error text then holds what was recorded up to where the reading
// stopped. Throws only std::bad_alloc, when memory runs out while a member read by the whole parse is
// copied out of its tree.
JsonValue RootMember(std::u16string_view text, std::u16string_view name);
// The same on the UTF-8 bytes of a text, read as ParseJsonUtf8 reads them.
JsonValue RootMemberUtf8(std::string_view bytes, std::u16string_view name);

} // namespace json
