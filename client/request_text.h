#pragma once

// Putting the operator's and the services' values into request addresses and bodies safely. Plain
// C++, no toolkit.

#include <string>
#include <string_view>

namespace client {

// Text for one path segment or query value: its UTF-8 bytes, each byte outside the URI unreserved
// characters (A-Z a-z 0-9 - . _ ~) written as %XX with capital hex digits, so that no value can
// change the path or the query it is put in. Letters and digits come out unchanged; an unpaired
// surrogate is encoded as U+FFFD.
std::u16string percentEncode(std::u16string_view text);

} // namespace client
