#pragma once

// Reading JSON text: the lenient parser with its value model, and the quick field extraction used on
// most server replies and on the credentials file.

#include "json/json_value.h"

#include <optional>
#include <string>
#include <string_view>

namespace json {

// Parses a whole JSON text whose root is an object or an array, and never throws. The grammar is
// lenient: names may be unquoted or single-quoted, strings single-quoted, commas are optional, comments
// and parentheses count as blanks, and text after the root value is not examined.
//
// Returns the root with whatever could be read, and records what went wrong as lines ending in "\r\n"
// (read them with LastParseErrors). Nothing is returned, and the error text is exactly "Invalid JSON",
// when the first character after filler is neither "{" nor "[". A failure that ends the parse (a
// duplicate member name, a number that does not convert or is out of range, an array element that
// begins like true/false/null but is none, containers nested deeper than 512, exhausted memory) stops
// every enclosing container, each recording one line, and the root is returned with what it holds.
std::optional<JsonValue> ParseJson(std::u16string_view text);
// The same on the UTF-8 bytes of a text, decoded as they are read (ill-formed sequences read as U+FFFD),
// so that a large reply is never held as UTF-16 as well. Positions in recorded lines are UTF-16
// positions, exactly as ParseJson reports them for the decoded text.
std::optional<JsonValue> ParseJsonUtf8(std::string_view bytes);

// The lines recorded by the last parse on this thread; the empty text after a clean parse.
std::u16string LastParseErrors();

// The text value of the first member written "key":"value" (no blanks around the colon) anywhere in
// `text`, found by plain search without parsing: from just after the pattern up to the next double
// quote, with no unescaping. The empty text when the pattern is absent, the value is empty, or no
// double quote follows. Never fails and keeps no state.
std::u16string GetJsonField(std::u16string_view text, std::u16string_view key);

} // namespace json
