#pragma once

// The parser's readers, one token at a time, on a UTF-16 text and a 1-based cursor passed by
// reference. A cursor below 1 or beyond the text stands for the end of the text. Each reader (except
// SkipFiller) first skips filler, consumes its token and leaves the cursor after it; lines they record
// are appended to the parse error text (LastParseErrors), which only ParseJson or ResetParseErrors
// empties. ParseJson is built from these; they are public for tests and for reuse.

#include "json/json_value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace json {

// Empties the parse error text and clears the pending failure, as ParseJson does when it begins.
void ResetParseErrors();
// The description of the failure raised by the last reader that raised one, until cleared.
std::optional<std::u16string> PendingFailure();

// Skips blanks, tabs, line breaks, parentheses and comments ("//" to the end of the line, "/*" to "*/").
void SkipFiller(std::u16string_view text, std::int32_t& cursor);
// A member name, quoted with either quote or unquoted, up to and past its colon.
std::u16string ReadKey(std::u16string_view text, std::int32_t& cursor);
// A string quoted with the quote at the cursor, escapes decoded; the empty text, with the cursor after
// the filler, when no double or single quote follows the filler.
std::u16string ReadString(std::u16string_view text, std::int32_t& cursor);
// A number; the empty value at the end of the text. A text that does not convert or is out of range
// raises: the pending failure is set and the empty value returned.
JsonValue ReadNumber(std::u16string_view text, std::int32_t& cursor);
JsonValue ReadBoolean(std::u16string_view text, std::int32_t& cursor);
JsonValue ReadNull(std::u16string_view text, std::int32_t& cursor);
// Any value; a raised failure sets the pending failure and returns what was read (the empty value for
// a scalar).
JsonValue ReadValue(std::u16string_view text, std::int32_t& cursor);
JsonValue ReadObject(std::u16string_view text, std::int32_t& cursor);
JsonValue ReadArray(std::u16string_view text, std::int32_t& cursor);

} // namespace json
