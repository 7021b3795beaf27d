#pragma once

#include <string>

namespace json {
class JsonValue;
}

namespace script {

// The text of a value that a script uses without evaluating it (a return, a variable name, an if type,
// a switch item's case, the arguments of a placeholder). Scalars read as evaluation would give them: a
// string is its own text, null "null", a boolean "true" or "false", a number its decimal text with "."
// as decimal point and all its scale digits ("12.50"), the empty value the empty text. An object or an
// array reads as compact JSON: no blanks, members in order as "name":value, strings quoted with
// \" \\ \b \f \n \r \t and \u00XX escapes for the other control characters, everything else as is;
// an empty value inside a container writes nothing. Recursion follows the depth of the value, as the
// value's own destruction does (parsed values are at most 512 containers deep).
std::u16string textForm(const json::JsonValue& value);

} // namespace script
