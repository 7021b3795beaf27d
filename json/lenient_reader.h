#pragma once

// Internal to the json library: the lenient JSON reader, written once over a text source (UTF-16 text
// or UTF-8 bytes). It reads one token per call at a shared cursor, records what it tolerates as lines of
// the parse error text, and raises the failures that end a parse (RaisedFailure) to the object or array
// reading the current member or element, which records its line and returns what it holds.

#include "json/json_escape.h"
#include "json/json_value.h"
#include "json/parse_state.h"
#include "json/string_builder.h"
#include "json/text_source.h"
#include "json/tree_builder.h"

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <vector>

namespace json::detail {

// Appends one line to the parse error text, unless that has reached its cap.
void recordLine(ParseErrorState& state, std::initializer_list<std::u16string_view> parts);

// One copy of each distinct member name met during one parse, in the arena of the tree being read, so
// that a table's rows share their names and a duplicate name is found by comparing pointers.
class KeyInterner final {
public:
    explicit KeyInterner(Arena& arena) : m_arena(arena) {}
    const Key& intern(std::u16string_view name);
    // Forgets every name, for when the arena has been handed to a finished tree.
    void clear();

private:
    static constexpr std::size_t kFirstSlots = 64;
    void grow();

    Arena& m_arena;
    std::vector<Key> m_slots = std::vector<Key>(kFirstSlots);
    std::size_t m_count = 0;
};

template <class Source>
class LenientReader final {
public:
    LenientReader(Source& source, ParseErrorState& state) : m_src(source), m_state(state), m_keys(m_arena) {}

    void skipFiller() noexcept
    {
        // Most tokens follow no filler at all.
        if (!m_src.atEnd() && !kFillerStarts.has(m_src.peek())) {
            return;
        }
        skipFillerFrom();
    }
    // The member name; the view is valid until the next readKey.
    std::u16string_view readKey();
    // The member name, interned. `expected` is the name that stood at this place in the last object read
    // at this depth, if any: a name equal to it is given back without decoding or lookup.
    Key readName(const Key* expected);
    bool atStringStart() const noexcept { return at(u'"') || at(u'\''); }
    // Only where atStringStart holds after filler.
    JsonValue readString();
    JsonValue readNumber();
    // `valid` is false when the text there is not the literal (the line is then recorded).
    JsonValue readBoolean(bool& valid);
    JsonValue readNull(bool& valid);
    // `invalidLiteral` receives the description of an invalid literal read there, or stays empty.
    // `depth` is the nesting of the container holding the value (0 outside any).
    JsonValue readValue(int depth, std::u16string_view& invalidLiteral);
    JsonValue readObject(int depth);
    JsonValue readArray(int depth);

private:
    using Unit = typename Source::Unit;

    static constexpr AsciiSet kFillerStarts{'\r', '\n', '\t', ' ', '(', ')', '/', '*'};
    using Blanks = CharSet<'\r', '\n', '\t', ' '>;
    using KeyStops = CharSet<'"', '\'', '\r', '\n', '\t', ' '>;
    using DoubleQuotedStops = CharSet<'"', '\\'>;
    using SingleQuotedStops = CharSet<'\'', '\\'>;
    using NumberChars = CharSet<'+', '-', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', 'e', 'E'>;

    // Truncates a scratch stack to where a container began, whichever way the container is left.
    template <class T>
    struct ScratchGuard {
        std::vector<T>& scratch;
        std::size_t start;
        ~ScratchGuard()
        {
            if (scratch.size() > start) {
                scratch.erase(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end());
            }
        }
    };

    void skipFillerFrom() noexcept;
    bool at(char16_t c) const noexcept { return !m_src.atEnd() && m_src.peek() == c; }
    std::u16string position() const { return decimalText(m_src.position()); }
    void record(std::initializer_list<std::u16string_view> parts) { recordLine(m_state, parts); }

    // The usual name: double quotes around characters that need no care, then a colon. Gives the
    // characters between the quotes and leaves the cursor after the colon; anything else (blanks or
    // single quotes inside, no colon after) gives nothing and leaves the cursor where it was.
    std::optional<Span<Unit>> readPlainQuotedKey();
    std::u16string_view readKeyCharByChar();
    // The rest of a string after its opening quote (the first of the stops), up to its closing quote.
    template <char Quote, char Backslash>
    JsonValue readQuoted(CharSet<Quote, Backslash> stops);
    void readEscape();
    void appendRun(const Span<Unit>& run);
    JsonValue stringFrom(const Span<Unit>& run);
    void enterContainer(int depth) const;
    // The container read from scratch[start..]: the root of a tree (depth 1) owns the arena of everything
    // read below it; a container below the root lives in that arena.
    JsonValue objectFrom(std::size_t start, int depth);
    JsonValue arrayFrom(std::size_t start, int depth);
    // Hands the arena over to the root of the tree just read, and starts afresh.
    Arena takeArena();
    // Stores a member; `checked` says that its name is known to differ from the names stored before it.
    void storeMember(MemberNames& names, bool checked, Key&& key, JsonValue&& value);
    // The names of the last object read at a depth, in order.
    std::vector<Key>& lastNamesAt(int depth);
    // Runs one member's or element's read; a raised failure (or exhausted memory) becomes pending.
    template <class Read>
    void readGuarded(Read&& read);

    Source& m_src;
    ParseErrorState& m_state;
    Arena m_arena; // declared before everything that may point into it, so that it is freed after them
    KeyInterner m_keys;
    std::vector<std::vector<Key>> m_lastNames; // by depth: the names of the last object read there
    std::vector<JsonMember> m_members; // members of the objects being read, innermost last
    std::vector<JsonValue> m_elements; // elements of the arrays being read, innermost last
    cStringBuilder m_text;             // a string value with escapes, as it is gathered
    std::u16string m_keyText;
    std::u16string m_decoded;
};

template <class Source>
void LenientReader<Source>::skipFillerFrom() noexcept
{
    // Blanks and line breaks before any slash or star change no state.
    m_src.scanWhile(Blanks{});
    bool armed = false; // a "/" or "*" was just seen that can open or close a comment
    bool inComment = false;
    bool inBlock = false;
    while (!m_src.atEnd()) {
        switch (m_src.peek()) {
        case u'\r':
        case u'\n':
            if (!inBlock) {
                armed = false;
                inComment = false;
            }
            break;
        case u'\t':
        case u' ':
        case u'(':
        case u')':
            break;
        case u'/':
            if (inBlock) {
                if (armed) {
                    armed = inComment = inBlock = false;
                }
            } else if (armed) {
                armed = false;
                inComment = true;
            } else {
                armed = true;
                inComment = inBlock = false;
            }
            break;
        case u'*':
            if (armed) {
                armed = false;
                inComment = inBlock = true;
            } else {
                armed = true;
            }
            break;
        default:
            if (!inComment) {
                return;
            }
            break;
        }
        m_src.advance();
    }
}

template <class Source>
std::u16string_view LenientReader<Source>::readKey()
{
    skipFiller();
    if (const std::optional<Span<Unit>> run = readPlainQuotedKey()) {
        const std::u16string_view name = m_src.decode(*run, m_keyText);
        return name.data() != nullptr ? name : std::u16string_view(u"", 0);
    }
    return readKeyCharByChar();
}

template <class Source>
Key LenientReader<Source>::readName(const Key* expected)
{
    skipFiller();
    if (const std::optional<Span<Unit>> run = readPlainQuotedKey()) {
        if (expected != nullptr && m_src.sameUnits(*run, expected->view())) {
            return *expected;
        }
        return m_keys.intern(m_src.decode(*run, m_keyText));
    }
    return m_keys.intern(readKeyCharByChar());
}

template <class Source>
std::optional<Span<typename Source::Unit>> LenientReader<Source>::readPlainQuotedKey()
{
    if (!at(u'"')) {
        return std::nullopt;
    }
    const auto start = m_src.mark();
    m_src.advance();
    const Span<Unit> run = m_src.scanUntil(KeyStops{});
    if (at(u'"')) {
        m_src.advance();
        skipFiller();
        if (at(u':')) {
            m_src.advance();
            return run;
        }
    }
    m_src.reset(start);
    return std::nullopt;
}

template <class Source>
std::u16string_view LenientReader<Source>::readKeyCharByChar()
{
    m_keyText.clear();
    bool inDouble = false;
    bool inSingle = false;
    while (!m_src.atEnd()) {
        const char16_t c = m_src.peek();
        if (c == u'"' || c == u'\'') {
            m_src.advance();
            bool& inQuotes = c == u'"' ? inDouble : inSingle;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipFiller();
                if (!at(u':')) {
                    record({u"Invalid Key at position ", position(), u" : ", m_keyText});
                    return m_keyText;
                }
            }
        } else if (c == u':') {
            m_src.advance();
            if (!inDouble && !inSingle) {
                return m_keyText;
            }
            m_keyText += u':';
        } else {
            if (c != u'\r' && c != u'\n' && c != u'\t' && c != u' ') {
                m_keyText += c;
            }
            m_src.advance();
        }
    }
    return m_keyText;
}

template <class Source>
JsonValue LenientReader<Source>::readString()
{
    skipFiller();
    if (m_src.peek() == u'"') {
        return readQuoted(DoubleQuotedStops{});
    }
    return readQuoted(SingleQuotedStops{});
}

template <class Source>
template <char Quote, char Backslash>
JsonValue LenientReader<Source>::readQuoted(CharSet<Quote, Backslash> stops)
{
    constexpr char16_t quote = Quote;
    m_src.advance();
    const Span<Unit> first = m_src.scanUntil(stops);
    if (at(quote)) {
        m_src.advance();
        return stringFrom(first);
    }
    m_text.Remove(0, m_text.Length());
    appendRun(first);
    while (!m_src.atEnd()) {
        const char16_t c = m_src.peek();
        if (c == quote) {
            m_src.advance();
            return TreeBuilder::makeString(&m_arena, m_text.view().data(), m_text.view().size());
        }
        if (c == u'\\') {
            m_src.advance();
            readEscape();
        } else {
            m_text.Append({&c, 1});
            m_src.advance();
        }
        appendRun(m_src.scanUntil(stops));
    }
    return TreeBuilder::makeString(&m_arena, m_text.view().data(), m_text.view().size());
}

template <class Source>
void LenientReader<Source>::readEscape()
{
    if (m_src.atEnd()) {
        return;
    }
    const char16_t e = m_src.peek();
    if (const int unit = singleLetterEscape(e); unit >= 0) {
        const auto decoded = static_cast<char16_t>(unit);
        m_text.Append({&decoded, 1});
        m_src.advance();
        return;
    }
    if (e != u'u') {
        return; // the character is then read as an ordinary one
    }
    // The hexadecimal digits at the start of the next four characters; the four are skipped whatever
    // they hold.
    m_src.advance();
    std::uint32_t value = 0;
    bool inDigits = true;
    for (int k = 0; k < 4 && !m_src.atEnd(); ++k) {
        const char16_t h = m_src.peek();
        const int digit = hexDigitValue(h);
        inDigits = inDigits && digit >= 0;
        if (inDigits) {
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        m_src.advance();
    }
    const char16_t decoded = static_cast<char16_t>(value);
    m_text.Append({&decoded, 1});
}

template <class Source>
void LenientReader<Source>::appendRun(const Span<Unit>& run)
{
    if (run.size != 0) {
        m_text.Append(m_src.decode(run, m_decoded));
    }
}

template <class Source>
JsonValue LenientReader<Source>::stringFrom(const Span<Unit>& run)
{
    if (run.ascii) {
        return TreeBuilder::makeString(&m_arena, run.data, run.size);
    }
    return TreeBuilder::makeStringWith(&m_arena, run.units, [&](char16_t* out) { m_src.decodeInto(run, out); });
}

template <class Source>
JsonValue LenientReader<Source>::readNumber()
{
    skipFiller();
    const Span<Unit> digits = m_src.scanWhile(NumberChars{});
    if (digits.size == 0 && m_src.atEnd()) {
        return JsonValue();
    }
    const ParsedDecimal parsed = Decimal::parse(std::basic_string_view(
        reinterpret_cast<const std::conditional_t<sizeof(Unit) == 1, char, char16_t>*>(digits.data), digits.size));
    switch (parsed.status) {
    case Decimal::Conversion::Ok:
        return JsonValue::makeNumber(parsed.value);
    case Decimal::Conversion::Overflow:
        throw RaisedFailure{kOverflow};
    case Decimal::Conversion::TypeMismatch:
        break;
    }
    throw RaisedFailure{kTypeMismatch};
}

template <class Source>
JsonValue LenientReader<Source>::readBoolean(bool& valid)
{
    skipFiller();
    valid = true;
    if (m_src.matchesAscii("true")) {
        m_src.skipAscii(4);
        return JsonValue::makeBoolean(true);
    }
    if (m_src.matchesAscii("false")) {
        m_src.skipAscii(5);
        return JsonValue::makeBoolean(false);
    }
    valid = false;
    record({u"Invalid Boolean at position ", position(), u" : ", m_src.rest(kMaxRestExcerpt)});
    return JsonValue::makeBoolean(false);
}

template <class Source>
JsonValue LenientReader<Source>::readNull(bool& valid)
{
    skipFiller();
    valid = true;
    if (m_src.matchesAscii("null")) {
        m_src.skipAscii(4);
        return JsonValue::makeNull();
    }
    valid = false;
    record({u"Invalid null value at position ", position(), u" : ", m_src.rest(kMaxRestExcerpt)});
    return JsonValue();
}

template <class Source>
JsonValue LenientReader<Source>::readValue(int depth, std::u16string_view& invalidLiteral)
{
    skipFiller();
    if (m_src.atEnd()) {
        return readNumber();
    }
    bool valid = true;
    JsonValue value;
    switch (m_src.peek()) {
    case u'{':
        enterContainer(depth);
        return readObject(depth + 1);
    case u'[':
        enterContainer(depth);
        return readArray(depth + 1);
    case u'"':
    case u'\'':
        if (depth == 0) {
            // Read on its own, the string must outlive the reader and its arena.
            return JsonValue::makeString(readString().asString());
        }
        return readString();
    case u't':
    case u'f':
        value = readBoolean(valid);
        if (!valid) {
            invalidLiteral = kInvalidBooleanElement;
        }
        return value;
    case u'n':
        value = readNull(valid);
        if (!valid) {
            invalidLiteral = kInvalidNullElement;
        }
        return value;
    default:
        return readNumber();
    }
}

template <class Source>
void LenientReader<Source>::enterContainer(int depth) const
{
    if (depth + 1 > kMaxNesting) {
        throw RaisedFailure{kNestingTooDeep};
    }
}

template <class Source>
JsonValue LenientReader<Source>::objectFrom(std::size_t start, int depth)
{
    if (depth == 1) {
        return TreeBuilder::objectFrom(m_members, start, nullptr, takeArena());
    }
    return TreeBuilder::objectFrom(m_members, start, &m_arena);
}

template <class Source>
JsonValue LenientReader<Source>::arrayFrom(std::size_t start, int depth)
{
    if (depth == 1) {
        return TreeBuilder::arrayFrom(m_elements, start, nullptr, takeArena());
    }
    return TreeBuilder::arrayFrom(m_elements, start, &m_arena);
}

template <class Source>
std::vector<Key>& LenientReader<Source>::lastNamesAt(int depth)
{
    const auto at = static_cast<std::size_t>(depth);
    if (m_lastNames.size() <= at) {
        m_lastNames.resize(at + 1);
    }
    return m_lastNames[at];
}

template <class Source>
Arena LenientReader<Source>::takeArena()
{
    m_keys.clear();
    m_lastNames.clear();
    return std::move(m_arena);
}

template <class Source>
template <class Read>
void LenientReader<Source>::readGuarded(Read&& read)
{
    try {
        read();
    } catch (const RaisedFailure& failure) {
        m_state.pending = failure.description;
    } catch (const StringBuilderError&) {
        m_state.pending = kOverflow; // a single string past the builder's 32-bit size
    } catch (const std::bad_alloc&) {
        m_state.pending = kOutOfMemory;
    } catch (const std::length_error&) {
        m_state.pending = kOutOfMemory;
    }
}

template <class Source>
void LenientReader<Source>::storeMember(MemberNames& names, bool checked, Key&& key, JsonValue&& value)
{
    if (!checked && !names.isNew(m_members, TreeBuilder::rep(key))) {
        throw RaisedFailure{kDuplicateName};
    }
    m_members.emplace_back(std::move(key), std::move(value));
}

template <class Source>
JsonValue LenientReader<Source>::readObject(int depth)
{
    const std::size_t start = m_members.size();
    ScratchGuard<JsonMember> guard{m_members, start};
    MemberNames names(start);
    bool allAsBefore = true;
    skipFiller();
    if (!at(u'{')) {
        record({u"Invalid Object at position ", position(), u" : ", m_src.rest(kMaxRestExcerpt)});
        return objectFrom(start, depth);
    }
    m_src.advance();
    for (;;) {
        skipFiller();
        if (at(u'}')) {
            m_src.advance();
            break;
        }
        if (at(u',')) {
            m_src.advance();
            skipFiller();
        } else if (m_src.atEnd()) {
            record({u"Missing '}': ", m_src.lastUnits(20)});
            break;
        }
        // The rows of a table repeat their names in the same order. While every name so far is the one
        // the last object at this depth had at its place, the names are known to be distinct, as that
        // object's were.
        const std::size_t position = m_members.size() - start;
        const std::vector<Key>& before = lastNamesAt(depth);
        const Key* expected = position < before.size() ? &before[position] : nullptr;
        Key key = readName(expected);
        const bool asExpected = expected != nullptr && key.sameRep(*expected);
        allAsBefore = allAsBefore && asExpected;
        m_state.pending.reset();
        bool stored = false;
        readGuarded([&] {
            std::u16string_view ignoredLiteral;
            JsonValue value = readValue(depth, ignoredLiteral);
            storeMember(names, allAsBefore, std::move(key), std::move(value));
            stored = true;
        });
        if (stored && !asExpected) {
            // From here on the names of this object replace those of the last one.
            std::vector<Key>& last = lastNamesAt(depth);
            last.resize(position);
            last.push_back(TreeBuilder::key(m_members.back()));
        }
        if (m_state.pending) {
            // A container read with a failure pending is still stored, and the name moved with it.
            record({*m_state.pending, u": ", stored ? m_members.back().name() : key.view()});
            break;
        }
    }
    return objectFrom(start, depth);
}

template <class Source>
JsonValue LenientReader<Source>::readArray(int depth)
{
    const std::size_t start = m_elements.size();
    ScratchGuard<JsonValue> guard{m_elements, start};
    skipFiller();
    if (!at(u'[')) {
        record({u"Invalid Array at position ", position(), u" : ", m_src.unitsAtCursor(20)});
        return arrayFrom(start, depth);
    }
    m_src.advance();
    for (;;) {
        skipFiller();
        if (at(u']')) {
            m_src.advance();
            break;
        }
        if (at(u',')) {
            m_src.advance();
            skipFiller();
        } else if (m_src.atEnd()) {
            record({u"Missing ']': ", m_src.lastUnits(20)});
            break;
        }
        m_state.pending.reset();
        std::u16string_view invalidLiteral;
        readGuarded([&] {
            JsonValue value = readValue(depth, invalidLiteral);
            if (invalidLiteral.empty()) {
                m_elements.push_back(std::move(value));
            }
        });
        if (!invalidLiteral.empty()) {
            // The cursor did not move, so reading on would read the same element for ever. The array
            // stops as for a raised failure; the literal reader has recorded the line.
            m_state.pending = invalidLiteral;
            break;
        }
        if (m_state.pending) {
            record({*m_state.pending, u": ", m_src.unitsAtCursor(20)});
            break;
        }
    }
    return arrayFrom(start, depth);
}

} // namespace json::detail
