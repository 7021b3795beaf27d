#pragma once

// Parsing on a thread that ends before the program.

#include "json/parse_state.h"

namespace json {

// While it exists, the parses of the thread that made it keep what they record (LastParseErrors, the
// readers' pending failure) in it, starting empty, instead of in the thread's own state; when it ends,
// the thread's own state (or the enclosing LocalParseErrors) is back as it was. A thread that ends before
// the program must parse only inside one, so that its own state is never made: with MinGW-w64's threads a
// thread's own state is destroyed at the thread's end after its memory has been released, and the
// destructor then frees whatever that memory holds by then. Made and destroyed on one thread, innermost
// first.
class LocalParseErrors final {
public:
    LocalParseErrors() noexcept;
    ~LocalParseErrors();
    LocalParseErrors(const LocalParseErrors&) = delete;
    LocalParseErrors& operator=(const LocalParseErrors&) = delete;

private:
    detail::ParseErrorState m_state;
    detail::ParseErrorState* m_outer;
};

} // namespace json
