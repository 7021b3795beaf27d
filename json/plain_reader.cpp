#include "json/plain_reader.h"

#include "json/json_escape.h"
#include "json/lenient_reader.h"
#include "json/parse_state.h"
#include "json/tree_builder.h"
#include "json/unit_scan.h"
#include "json/utf8.h"

#include <bit>
#include <functional>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace json::detail {
namespace {

using Byte = unsigned char;

// Thrown where the bytes leave the plain grammar; caught by readPlainUtf8, which then gives up.
struct NotPlain {};

constexpr bool isDigit(Byte b) noexcept
{
    return static_cast<unsigned>(b - '0') < 10;
}

constexpr bool isNumberChar(Byte b) noexcept
{
    return isDigit(b) || b == '+' || b == '-' || b == '.' || b == 'e' || b == 'E';
}

// Whether the 8 bytes of `chunk` (in memory order, on a little-endian machine) are all digits.
constexpr bool allDigits(std::uint64_t chunk) noexcept
{
    return ((chunk & 0xF0F0F0F0F0F0F0F0u) | (((chunk + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) ==
           0x3333333333333333u;
}

// The value of 8 digits (in memory order, on a little-endian machine), combined pairwise in three steps.
constexpr std::uint64_t eightDigitsValue(std::uint64_t chunk) noexcept
{
    chunk = ((chunk & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
    chunk = ((chunk & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    return ((chunk & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}

static_assert(allDigits(0x3938373635343332u) && !allDigits(0x393837363534332Eu));
static_assert(eightDigitsValue(0x3837363534333231u) == 12345678);

// Appends the digits at `p` to `magnitude` and returns the first byte after them. Beyond 19 digits the
// magnitude wraps, and the caller does not use it.
const Byte* readDigits(const Byte* p, const Byte* end, std::uint64_t& magnitude) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t chunk = 0;
        while (end - p >= 8 && (std::memcpy(&chunk, p, 8), allDigits(chunk))) {
            magnitude = magnitude * 100000000u + eightDigitsValue(chunk);
            p += 8;
        }
    }
    for (; p < end && isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
    }
    return p;
}

// Builds the value that `read` gives directly in `slot`, an empty value in a scratch stack, rather than
// building it elsewhere and moving it there: a value just built and read back at once is read more slowly
// than it was written. Containers are not read this way, as reading one may move the scratch stack.
// Should reading fail, the slot holds an empty value again.
template <class Read>
void constructIn(JsonValue& slot, Read&& read)
{
    try {
        new (&slot) JsonValue(read());
    } catch (...) {
        new (&slot) JsonValue();
        throw;
    }
}

class PlainReader final {
public:
    explicit PlainReader(std::string_view bytes) noexcept
        : m_p(reinterpret_cast<const Byte*>(bytes.data())), m_end(m_p + bytes.size()), m_keys(m_arena)
    {
    }

    JsonValue readRoot()
    {
        skipBlanks();
        if (at('{')) {
            return readObject(1, nullptr);
        }
        if (at('[')) {
            return readArray(1, nullptr);
        }
        throw NotPlain{};
    }

private:
    // A name as it stood at a place in the last object of the same shape, with the bytes it was read from.
    struct ExpectedName {
        Key key;
        const Byte* bytes;
        std::size_t size;
    };
    // Objects of one depth stored under one member name: their names usually repeat. The depth keeps an
    // object's expected names from being replaced by those of an object inside it stored under the same
    // name while it is being read.
    struct Shape {
        int depth;
        const KeyRep* name;
        bool operator==(const Shape&) const = default;
    };
    struct ShapeHash {
        std::size_t operator()(const Shape& shape) const noexcept
        {
            return std::hash<const KeyRep*>{}(shape.name) ^ (static_cast<std::size_t>(shape.depth) * 0x9E3779B9u);
        }
    };
    // The lenient reader gathers a string with escapes in a builder of at most 2^31 - 1 bytes and fails
    // past it; strings anywhere near that long are left to it.
    static constexpr std::size_t kLongestEscapedString = std::size_t{1} << 29;

    bool at(char c) const noexcept { return m_p < m_end && *m_p == static_cast<Byte>(c); }
    bool opensContainer() const noexcept { return at('{') || at('['); }
    void expect(char c)
    {
        if (!at(c)) {
            throw NotPlain{};
        }
        ++m_p;
    }
    void skipBlanks() noexcept
    {
        // Most tokens follow no blank at all; every blank is at most a space.
        if (m_p < m_end && *m_p > ' ') {
            return;
        }
        m_p = skipAll(CharSet<' ', '\n', '\r', '\t'>{}, m_p, m_end);
    }

    // Each reader starts on the first byte of its token and leaves the cursor after the token.
    // `depth` is the nesting of the container holding the value (0 outside any), `name` the member name
    // under which the value, or the array holding it, is stored (none for the root).
    JsonValue readContainer(int depth, const KeyRep* name);
    // A string, number or literal.
    JsonValue readScalar();
    JsonValue readObject(int depth, const KeyRep* name);
    JsonValue readArray(int depth, const KeyRep* name);
    Key readName(std::vector<ExpectedName>& last, std::size_t position, bool& asExpected);
    JsonValue readString();
    // From the first backslash of a string whose opening quote is at `begin` - 1.
    JsonValue readEscapedString(const Byte* begin, const Byte* stop, bool ascii);
    void appendEscape();
    JsonValue readNumber();
    JsonValue readNumberInFull(const Byte* begin);
    JsonValue readLiteral(std::string_view literal, JsonValue value);

    // The UTF-16 units of bytes without escapes, in m_decoded (whose room is reused).
    std::u16string_view decoded(const Byte* begin, const Byte* end, bool ascii);
    JsonValue objectFrom(std::size_t start, int depth);
    JsonValue arrayFrom(std::size_t start, int depth);

    const Byte* m_p;
    const Byte* m_end;
    Arena m_arena; // declared before everything that may point into it, so that it is freed after them
    KeyInterner m_keys;
    // By depth and the name an object is stored under: the names of the last such object. The objects of
    // an array (a table's rows) share the array's name.
    std::unordered_map<Shape, std::vector<ExpectedName>, ShapeHash> m_lastNames;
    std::vector<JsonMember> m_members; // members of the objects being read, innermost last
    std::vector<JsonValue> m_elements; // elements of the arrays being read, innermost last
    std::u16string m_decoded;
    std::u16string m_text; // a string with escapes, as it is gathered
};

JsonValue PlainReader::readContainer(int depth, const KeyRep* name)
{
    if (depth + 1 > kMaxNesting) {
        throw NotPlain{};
    }
    return *m_p == '{' ? readObject(depth + 1, name) : readArray(depth + 1, name);
}

JsonValue PlainReader::readScalar()
{
    if (m_p >= m_end) {
        throw NotPlain{};
    }
    switch (*m_p) {
    case '"':
        return readString();
    case 't':
        return readLiteral("true", JsonValue::makeBoolean(true));
    case 'f':
        return readLiteral("false", JsonValue::makeBoolean(false));
    case 'n':
        return readLiteral("null", JsonValue::makeNull());
    default:
        return readNumber();
    }
}

JsonValue PlainReader::readObject(int depth, const KeyRep* name)
{
    ++m_p;
    const std::size_t start = m_members.size();
    skipBlanks();
    if (at('}')) {
        ++m_p;
        return objectFrom(start, depth);
    }
    // While every name is the one the last object of this depth stored under the same name had at its
    // place, the names are known to be distinct, as that object's were.
    std::vector<ExpectedName>& last = m_lastNames[Shape{depth, name}];
    bool allAsBefore = true;
    MemberNames names(start);
    for (std::size_t position = 0;; ++position) {
        bool asExpected = false;
        Key key = readName(last, position, asExpected);
        allAsBefore = allAsBefore && asExpected;
        if (!allAsBefore && !names.isNew(m_members, TreeBuilder::rep(key))) {
            throw NotPlain{};
        }
        skipBlanks();
        if (opensContainer()) {
            const KeyRep* memberName = TreeBuilder::rep(key);
            JsonValue container = readContainer(depth, memberName);
            m_members.emplace_back(std::move(key), std::move(container));
        } else {
            JsonMember& member = m_members.emplace_back(std::move(key));
            constructIn(TreeBuilder::value(member), [this] { return readScalar(); });
        }
        skipBlanks();
        if (at(',')) {
            ++m_p;
            skipBlanks();
            continue;
        }
        expect('}');
        return objectFrom(start, depth);
    }
}

JsonValue PlainReader::readArray(int depth, const KeyRep* name)
{
    ++m_p;
    const std::size_t start = m_elements.size();
    skipBlanks();
    if (at(']')) {
        ++m_p;
        return arrayFrom(start, depth);
    }
    for (;;) {
        if (opensContainer()) {
            JsonValue container = readContainer(depth, name);
            m_elements.push_back(std::move(container));
        } else {
            constructIn(m_elements.emplace_back(), [this] { return readScalar(); });
        }
        skipBlanks();
        if (at(',')) {
            ++m_p;
            skipBlanks();
            continue;
        }
        expect(']');
        return arrayFrom(start, depth);
    }
}

Key PlainReader::readName(std::vector<ExpectedName>& last, std::size_t position, bool& asExpected)
{
    expect('"');
    const Byte* begin = m_p;
    if (position < last.size()) {
        // Names hold no escapes, so the same bytes are the same name.
        const ExpectedName& expected = last[position];
        if (static_cast<std::size_t>(m_end - begin) > expected.size &&
            std::memcmp(begin, expected.bytes, expected.size) == 0 && begin[expected.size] == '"') {
            m_p = begin + expected.size + 1;
            skipBlanks();
            expect(':');
            asExpected = true;
            return expected.key;
        }
    }
    // The lenient reader reads names with blanks or single quotes in them otherwise.
    std::uint32_t highBits = 0;
    const Byte* close = findAny(CharSet<'"', '\'', '\r', '\n', '\t', ' '>{}, begin, m_end, highBits);
    if (close == m_end || *close != '"') {
        throw NotPlain{};
    }
    m_p = close + 1;
    skipBlanks();
    expect(':');
    Key key = m_keys.intern(decoded(begin, close, highBits == 0));
    asExpected = position < last.size() && key.sameRep(last[position].key);
    if (!asExpected) {
        last.resize(position);
        last.push_back({key, begin, static_cast<std::size_t>(close - begin)});
    }
    return key;
}

JsonValue PlainReader::readString()
{
    const Byte* begin = ++m_p;
    std::uint32_t highBits = 0;
    const Byte* stop = findAny(CharSet<'"', '\\'>{}, begin, m_end, highBits);
    if (stop == m_end) {
        throw NotPlain{};
    }
    if (*stop == '\\') {
        return readEscapedString(begin, stop, highBits == 0);
    }
    m_p = stop + 1;
    const auto size = static_cast<std::size_t>(stop - begin);
    if (highBits == 0) {
        return TreeBuilder::makeString(&m_arena, begin, size);
    }
    const std::u16string_view text = decoded(begin, stop, false);
    return TreeBuilder::makeString(&m_arena, text.data(), text.size());
}

JsonValue PlainReader::readEscapedString(const Byte* begin, const Byte* stop, bool ascii)
{
    m_text.clear();
    for (;;) {
        m_text += decoded(begin, stop, ascii);
        if (stop == m_end || m_text.size() > kLongestEscapedString) {
            throw NotPlain{};
        }
        m_p = stop + 1;
        if (*stop == '"') {
            return TreeBuilder::makeString(&m_arena, m_text.data(), m_text.size());
        }
        appendEscape();
        begin = m_p;
        std::uint32_t highBits = 0;
        stop = findAny(CharSet<'"', '\\'>{}, begin, m_end, highBits);
        ascii = highBits == 0;
    }
}

void PlainReader::appendEscape()
{
    if (m_p >= m_end) {
        throw NotPlain{};
    }
    char16_t unit = 0;
    if (const int letter = singleLetterEscape(*m_p); letter >= 0) {
        unit = static_cast<char16_t>(letter);
    } else if (*m_p == 'u') {
        // Exactly four hexadecimal digits; the lenient reader reads anything shorter its own way.
        if (m_end - m_p < 5) {
            throw NotPlain{};
        }
        for (int k = 1; k <= 4; ++k) {
            const int digit = hexDigitValue(m_p[k]);
            if (digit < 0) {
                throw NotPlain{};
            }
            unit = static_cast<char16_t>(unit * 16 + digit);
        }
        m_p += 4;
    } else {
        throw NotPlain{};
    }
    m_text += unit;
    ++m_p;
}

JsonValue PlainReader::readNumber()
{
    // The usual number (an optional minus, at most 19 digits with at most one point among them, no
    // exponent) converts here as Decimal::parse would convert it; any other is handed to Decimal::parse.
    const Byte* begin = m_p;
    const Byte* p = begin;
    const bool negative = p < m_end && *p == '-';
    p += negative ? 1 : 0;
    std::uint64_t magnitude = 0;
    const Byte* digitsBegin = p;
    p = readDigits(p, m_end, magnitude);
    std::size_t digits = static_cast<std::size_t>(p - digitsBegin);
    std::size_t fraction = 0;
    if (p < m_end && *p == '.') {
        const Byte* fractionBegin = ++p;
        p = readDigits(p, m_end, magnitude);
        fraction = static_cast<std::size_t>(p - fractionBegin);
        digits += fraction;
    }
    if (digits == 0 || digits > 19 || (p < m_end && isNumberChar(*p))) {
        return readNumberInFull(begin);
    }
    m_p = p;
    return JsonValue::makeNumber(Decimal::fromParts(0, magnitude, static_cast<std::uint8_t>(fraction), negative));
}

JsonValue PlainReader::readNumberInFull(const Byte* begin)
{
    const Byte* end = begin;
    while (end < m_end && isNumberChar(*end)) {
        ++end;
    }
    const ParsedDecimal parsed =
        Decimal::parse(std::string_view(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)));
    if (parsed.status != Decimal::Conversion::Ok) {
        throw NotPlain{};
    }
    m_p = end;
    return JsonValue::makeNumber(parsed.value);
}

JsonValue PlainReader::readLiteral(std::string_view literal, JsonValue value)
{
    if (static_cast<std::size_t>(m_end - m_p) < literal.size() ||
        std::memcmp(m_p, literal.data(), literal.size()) != 0) {
        throw NotPlain{};
    }
    m_p += literal.size();
    return value;
}

std::u16string_view PlainReader::decoded(const Byte* begin, const Byte* end, bool ascii)
{
    const auto size = static_cast<std::size_t>(end - begin);
    m_decoded.resize(size); // a byte never decodes to more than one unit
    if (ascii) {
        std::copy_n(begin, size, m_decoded.data());
        return m_decoded;
    }
    return {m_decoded.data(), decodeUtf8Into({reinterpret_cast<const char*>(begin), size}, m_decoded.data())};
}

JsonValue PlainReader::objectFrom(std::size_t start, int depth)
{
    if (depth == 1) {
        m_lastNames.clear();
        m_keys.clear();
        return TreeBuilder::objectFrom(m_members, start, nullptr, std::move(m_arena));
    }
    return TreeBuilder::objectFrom(m_members, start, &m_arena);
}

JsonValue PlainReader::arrayFrom(std::size_t start, int depth)
{
    if (depth == 1) {
        m_lastNames.clear();
        m_keys.clear();
        return TreeBuilder::arrayFrom(m_elements, start, nullptr, std::move(m_arena));
    }
    return TreeBuilder::arrayFrom(m_elements, start, &m_arena);
}

} // namespace

std::optional<JsonValue> readPlainUtf8(std::string_view bytes)
{
    try {
        PlainReader reader(bytes);
        return reader.readRoot();
    } catch (const NotPlain&) {
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // The lenient reader reads the bytes again and records what it meets, exhausted memory included.
    return std::nullopt;
}

} // namespace json::detail
