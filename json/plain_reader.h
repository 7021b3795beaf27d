#pragma once

// Internal to the json library: a reader built for pace, for the plain JSON that replies almost always
// are: objects and arrays, double-quoted strings with the usual escapes, numbers, the three literals,
// blanks between tokens. On such bytes it builds the very tree the lenient reader builds, with no line
// to record. On anything else (an error, a lenient form, a duplicate name, nesting past the limit, a
// number that does not convert) it gives up and returns nothing, and the bytes are to be read again by
// the lenient reader, whose result is then the parse's.

#include "json/json_value.h"

#include <optional>
#include <string_view>

namespace json::detail {

// The root (an object or an array) of plain JSON in UTF-8 bytes; nothing when the bytes are not plain.
// Bytes after the root are not examined, as the lenient reader does not examine them.
std::optional<JsonValue> readPlainUtf8(std::string_view bytes);

} // namespace json::detail
