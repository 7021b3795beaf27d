#include "json/root_member.h"

#include "json/json.h"
#include "json/lenient_reader.h"

#include <optional>

namespace json {
namespace detail {
namespace {

JsonValue memberOf(const std::optional<JsonValue>& root, std::u16string_view name)
{
    return root ? (*root)[name].clone() : JsonValue();
}

// The root object's first member when it is `name` and holds a scalar, read exactly as the root object's
// own loop reads its first pass; nothing when the text does not start that way. A failure raised while
// the value is read keeps it from being stored, so the whole parse would have no such member either.
template <class Source>
std::optional<JsonValue> readLeadingScalar(Source& source, std::u16string_view name)
{
    ParseErrorState& state = parseErrorState();
    state.reset();
    const auto at = [&](char16_t c) { return !source.atEnd() && source.peek() == c; };
    try {
        LenientReader<Source> reader(source, state);
        reader.skipFiller();
        if (!at(u'{')) {
            return std::nullopt;
        }
        source.advance();
        reader.skipFiller();
        if (at(u'}')) {
            return std::nullopt;
        }
        if (at(u',')) {
            source.advance();
            reader.skipFiller();
        } else if (source.atEnd()) {
            return std::nullopt;
        }
        if (reader.readKey() != name) {
            return std::nullopt;
        }
        // A container is read whole, with the nesting limit and everything else the parse applies there.
        reader.skipFiller();
        if (at(u'{') || at(u'[')) {
            return std::nullopt;
        }
        std::u16string_view invalidLiteral; // stored all the same inside an object
        // Read as a value on its own, so that it outlives the reader.
        return reader.readValue(0, invalidLiteral);
    } catch (const RaisedFailure&) {
        return JsonValue();
    } catch (const std::exception&) {
        // Exhausted memory, or a string too long for the builder: the member is not stored then either.
        return JsonValue();
    }
}

} // namespace
} // namespace detail

JsonValue RootMember(std::u16string_view text, std::u16string_view name)
{
    detail::Utf16Source source(text, 1);
    if (std::optional<JsonValue> member = detail::readLeadingScalar(source, name)) {
        return std::move(*member);
    }
    return detail::memberOf(ParseJson(text), name);
}

JsonValue RootMemberUtf8(std::string_view bytes, std::u16string_view name)
{
    detail::Utf8Source source(bytes);
    if (std::optional<JsonValue> member = detail::readLeadingScalar(source, name)) {
        return std::move(*member);
    }
    return detail::memberOf(ParseJsonUtf8(bytes), name);
}

} // namespace json
