#pragma once

// Internal to the json library: the parser's module state, one per thread, or one per LocalParseErrors
// on a thread that ends before the program (see json/local_parse_errors.h).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace json::detail {

// Descriptions of the raised failures, as they appear in recorded lines.
inline constexpr std::u16string_view kTypeMismatch = u"Type mismatch";
inline constexpr std::u16string_view kOverflow = u"Overflow";
inline constexpr std::u16string_view kDuplicateName =
    u"This key is already associated with an element of this collection";
inline constexpr std::u16string_view kOutOfMemory = u"Out of memory";
inline constexpr std::u16string_view kNestingTooDeep = u"Nesting too deep";
// An array element that begins like a literal but is none stops the parse with these.
inline constexpr std::u16string_view kInvalidBooleanElement = u"Invalid Boolean";
inline constexpr std::u16string_view kInvalidNullElement = u"Invalid null value";

// Containers nested deeper than this stop the parse (recursion is bounded, so the stack is too).
inline constexpr int kMaxNesting = 512;
// A recorded line shows at most this much of the rest of the text, and the recorded lines of one parse
// stop growing at this size: a long reply with many invalid literals would otherwise copy its rest once
// per literal, which grows with the square of its length.
inline constexpr std::size_t kMaxRestExcerpt = 1024;
inline constexpr std::size_t kMaxErrorText = std::size_t{1} << 20;

struct ParseErrorState {
    std::u16string text;                        // the recorded lines of the current or last parse
    std::optional<std::u16string_view> pending; // the description of the pending raised failure

    void reset()
    {
        text.clear();
        pending.reset();
    }
};

ParseErrorState& parseErrorState() noexcept;

// A raised failure on its way to the container that reads the current member or element.
struct RaisedFailure {
    std::u16string_view description;
};

} // namespace json::detail
