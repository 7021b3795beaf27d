#include "json/json.h"
#include "json/lenient_reader.h"
#include "json/local_parse_errors.h"
#include "json/plain_reader.h"
#include "json/readers.h"

#include <limits>
#include <utility>

namespace json {
namespace detail {

namespace {

// The state of the innermost LocalParseErrors of this thread. A plain pointer: nothing to destroy when
// the thread ends.
thread_local ParseErrorState* t_localState = nullptr;

} // namespace

ParseErrorState& parseErrorState() noexcept
{
    if (t_localState != nullptr) {
        return *t_localState;
    }
    // Made on the thread's first parse outside a LocalParseErrors, destroyed when the thread ends.
    thread_local ParseErrorState state;
    return state;
}

void recordLine(ParseErrorState& state, std::initializer_list<std::u16string_view> parts)
{
    std::size_t length = 2;
    for (std::u16string_view part : parts) {
        length += part.size();
    }
    if (state.text.size() + length > kMaxErrorText) {
        return;
    }
    for (std::u16string_view part : parts) {
        state.text += part;
    }
    state.text += u"\r\n";
}

const Key& KeyInterner::intern(std::u16string_view name)
{
    const std::uint32_t hash = Key::hashOf(name);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const KeyRep* rep = TreeBuilder::rep(m_slots[slot]);
        if (rep == nullptr) {
            if ((m_count + 1) * 2 > m_slots.size()) {
                grow();
                return intern(name);
            }
            m_slots[slot] = TreeBuilder::makeKey(&m_arena, name.data(), name.size(), hash);
            ++m_count;
            return m_slots[slot];
        }
        if (rep->hash == hash && m_slots[slot].view() == name) {
            return m_slots[slot];
        }
    }
}

void KeyInterner::clear()
{
    m_slots.assign(kFirstSlots, Key());
    m_count = 0;
}

void KeyInterner::grow()
{
    std::vector<Key> slots(m_slots.size() * 2);
    const std::size_t mask = slots.size() - 1;
    for (Key& key : m_slots) {
        if (TreeBuilder::rep(key) == nullptr) {
            continue;
        }
        std::size_t slot = key.hash() & mask;
        while (TreeBuilder::rep(slots[slot]) != nullptr) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = std::move(key);
    }
    m_slots = std::move(slots);
}

namespace {

template <class Source>
std::optional<JsonValue> parseRoot(Source& source)
{
    ParseErrorState& state = parseErrorState();
    state.reset();
    try {
        LenientReader<Source> reader(source, state);
        reader.skipFiller();
        if (!source.atEnd() && source.peek() == u'{') {
            return reader.readObject(1);
        }
        if (!source.atEnd() && source.peek() == u'[') {
            return reader.readArray(1);
        }
        state.text = u"Invalid JSON";
    } catch (const std::exception&) {
        // Only exhausted memory gets here: every other failure is handled inside the containers.
        state.pending = kOutOfMemory;
        state.text.clear();
        state.text.shrink_to_fit();
        recordLine(state, {kOutOfMemory});
    }
    return std::nullopt;
}

// Runs one reader on a UTF-16 text at a 1-based cursor, and writes the cursor back.
template <class Read>
auto readAt(std::u16string_view text, std::int32_t& cursor, Read&& read)
{
    Utf16Source source(text, cursor);
    LenientReader<Utf16Source> reader(source, parseErrorState());
    struct WriteBack {
        Utf16Source& source;
        std::int32_t& cursor;
        ~WriteBack()
        {
            cursor = static_cast<std::int32_t>(
                std::min<std::int64_t>(source.position(), std::numeric_limits<std::int32_t>::max()));
        }
    } writeBack{source, cursor};
    return read(reader);
}

template <class Read>
JsonValue raisingToPending(std::u16string_view text, std::int32_t& cursor, Read&& read)
{
    return readAt(text, cursor, [&](LenientReader<Utf16Source>& reader) {
        try {
            return read(reader);
        } catch (const RaisedFailure& failure) {
            parseErrorState().pending = failure.description;
            return JsonValue();
        }
    });
}

} // namespace
} // namespace detail

std::optional<JsonValue> ParseJson(std::u16string_view text)
{
    detail::Utf16Source source(text, 1);
    return detail::parseRoot(source);
}

std::optional<JsonValue> ParseJsonUtf8(std::string_view bytes)
{
    // Plain JSON, what replies almost always hold, is read at a faster pace; the lenient reader reads
    // everything else from the start again, so the result is the same either way.
    if (std::optional<JsonValue> root = detail::readPlainUtf8(bytes)) {
        detail::parseErrorState().reset();
        return root;
    }
    detail::Utf8Source source(bytes);
    return detail::parseRoot(source);
}

LocalParseErrors::LocalParseErrors() noexcept : m_outer(std::exchange(detail::t_localState, &m_state)) {}

LocalParseErrors::~LocalParseErrors()
{
    detail::t_localState = m_outer;
}

std::u16string LastParseErrors()
{
    return detail::parseErrorState().text;
}

void ResetParseErrors()
{
    detail::parseErrorState().reset();
}

std::optional<std::u16string> PendingFailure()
{
    const auto& pending = detail::parseErrorState().pending;
    return pending ? std::optional<std::u16string>(*pending) : std::nullopt;
}

void SkipFiller(std::u16string_view text, std::int32_t& cursor)
{
    detail::readAt(text, cursor, [](auto& reader) { reader.skipFiller(); });
}

std::u16string ReadKey(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) { return std::u16string(reader.readKey()); });
}

std::u16string ReadString(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) {
        reader.skipFiller();
        return reader.atStringStart() ? std::u16string(reader.readString().asString()) : std::u16string();
    });
}

JsonValue ReadNumber(std::u16string_view text, std::int32_t& cursor)
{
    return detail::raisingToPending(text, cursor, [](auto& reader) { return reader.readNumber(); });
}

JsonValue ReadBoolean(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) {
        bool valid = true;
        return reader.readBoolean(valid);
    });
}

JsonValue ReadNull(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) {
        bool valid = true;
        return reader.readNull(valid);
    });
}

JsonValue ReadValue(std::u16string_view text, std::int32_t& cursor)
{
    return detail::raisingToPending(text, cursor, [](auto& reader) {
        std::u16string_view invalidLiteral;
        return reader.readValue(0, invalidLiteral);
    });
}

JsonValue ReadObject(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) { return reader.readObject(1); });
}

JsonValue ReadArray(std::u16string_view text, std::int32_t& cursor)
{
    return detail::readAt(text, cursor, [](auto& reader) { return reader.readArray(1); });
}

} // namespace json
