#pragma once

#include "json/decimal.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace json {

enum class JsonKind : std::uint8_t {
    Empty, // nothing: what the lookup of an absent member gives
    Null,
    Boolean,
    Number, // an exact Decimal
    String,
    Object, // ordered members with unique, case-sensitive names
    Array,  // ordered elements, addressed from position 1
};

class JsonMember;

namespace detail {
struct KeyRep;
struct ObjectRep;
struct ArrayRep;
class TreeBuilder;

// A shared, immutable member name. Names repeat across the rows of a table, so one parse keeps one copy
// of each distinct name; the reference count is atomic so that trees may be handed between threads.
class Key final {
public:
    Key() noexcept = default;
    explicit Key(std::u16string_view name);
    Key(const Key& other) noexcept;
    Key(Key&& other) noexcept : m_rep(other.m_rep) { other.m_rep = nullptr; }
    Key& operator=(Key other) noexcept;
    ~Key();

    std::u16string_view view() const noexcept;
    std::uint32_t hash() const noexcept;
    bool sameRep(const Key& other) const noexcept { return m_rep == other.m_rep; }

    static std::uint32_t hashOf(std::u16string_view name) noexcept;

private:
    friend class TreeBuilder;
    KeyRep* m_rep = nullptr;
};
} // namespace detail

// One value of a JSON tree. A value owns everything below it: containers own their members and elements,
// and no value is ever shared between two containers, so values move but do not copy (clone() copies a
// whole subtree). Accessors never fail: asked for something a value does not hold, they give the stated
// fallback. Values are 16 bytes; short strings (up to 7 code units) and numbers are held inline.
class alignas(8) JsonValue final {
public:
    JsonValue() noexcept : m_kind(JsonKind::Empty), m_meta(0), m_units{} {}
    JsonValue(JsonValue&& other) noexcept : m_kind(other.m_kind), m_meta(other.m_meta)
    {
        std::memcpy(m_units, other.m_units, sizeof m_units);
        other.m_kind = JsonKind::Empty;
    }
    JsonValue& operator=(JsonValue&& other) noexcept;
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;
    ~JsonValue()
    {
        // Only strings and containers may own storage.
        if (m_kind >= JsonKind::String) {
            release();
        }
    }

    static JsonValue makeNull() noexcept;
    static JsonValue makeBoolean(bool value) noexcept;
    static JsonValue makeNumber(const Decimal& value) noexcept
    {
        JsonValue v(JsonKind::Number);
        v.m_meta = static_cast<std::uint8_t>(value.scale() | (value.isNegative() ? kNegativeBit : 0));
        v.setWord(value.hi());
        v.setBits(value.lo());
        return v;
    }
    static JsonValue makeString(std::u16string_view text);
    static JsonValue makeObject();
    static JsonValue makeArray();

    JsonValue clone() const;

    JsonKind kind() const noexcept { return m_kind; }
    bool isEmpty() const noexcept { return m_kind == JsonKind::Empty; }
    bool isNull() const noexcept { return m_kind == JsonKind::Null; }
    bool isBoolean() const noexcept { return m_kind == JsonKind::Boolean; }
    bool isNumber() const noexcept { return m_kind == JsonKind::Number; }
    bool isString() const noexcept { return m_kind == JsonKind::String; }
    bool isObject() const noexcept { return m_kind == JsonKind::Object; }
    bool isArray() const noexcept { return m_kind == JsonKind::Array; }

    // The boolean; false for every other kind.
    bool asBoolean() const noexcept;
    // The number; zero for every other kind.
    Decimal asNumber() const noexcept;
    // The text of a string, valid while the value lives unchanged; the empty text for every other kind.
    std::u16string_view asString() const noexcept;

    // Members of an object or elements of an array; 0 for every other kind.
    std::size_t count() const noexcept;

    // The value of the member with exactly this name (case-sensitive); the empty value when there is no
    // such member or this is not an object. Stays fast on large objects (hashed beyond a few dozen members).
    const JsonValue& operator[](std::u16string_view name) const noexcept;
    // The member's value, or nullptr when absent or not an object.
    const JsonValue* find(std::u16string_view name) const noexcept;
    // The members in the order they were stored; empty unless an object.
    std::span<const JsonMember> members() const noexcept;
    // Stores a member at the end. Returns false, storing nothing and leaving the first value in place,
    // when the name is already present or this is not an object.
    bool insert(std::u16string_view name, JsonValue value);

    // The element at a 1-based position; the empty value when out of range or not an array.
    const JsonValue& at(std::size_t position) const noexcept;
    // The elements in order; empty unless an array.
    std::span<const JsonValue> elements() const noexcept;
    // Appends an element; returns false, storing nothing, when this is not an array.
    bool append(JsonValue value);

    // Deep equality: same kinds, equal numbers (whatever their scale), equal texts, members in the same
    // order with the same names and equal values, elements pairwise equal.
    friend bool operator==(const JsonValue& a, const JsonValue& b) noexcept;

private:
    friend class detail::TreeBuilder;
    // m_meta of a string beyond the inline length: where its units live.
    static constexpr std::uint8_t kHeapString = 0xFF;
    static constexpr std::uint8_t kArenaString = 0xFE;
    // m_meta of a container: 0 for one of its own (the pointer word points to its representation), this
    // for one inside a parsed tree (the 32-bit word holds its count, the pointer its members or elements
    // in the tree's arena).
    static constexpr std::uint8_t kArenaContainer = 1;
    static constexpr std::uint8_t kNegativeBit = 0x80;

    explicit JsonValue(JsonKind kind) noexcept : m_kind(kind), m_meta(0), m_units{} {}
    void release() noexcept;

    // Inline payload fields, at fixed offsets of the 16 bytes: a 32-bit word at 4, a 64-bit word at 8.
    std::uint32_t word() const noexcept
    {
        std::uint32_t value;
        std::memcpy(&value, reinterpret_cast<const unsigned char*>(m_units) + 2, sizeof value);
        return value;
    }
    void setWord(std::uint32_t value) noexcept
    {
        std::memcpy(reinterpret_cast<unsigned char*>(m_units) + 2, &value, sizeof value);
    }
    std::uint64_t bits() const noexcept
    {
        std::uint64_t value;
        std::memcpy(&value, reinterpret_cast<const unsigned char*>(m_units) + 6, sizeof value);
        return value;
    }
    void setBits(std::uint64_t value) noexcept
    {
        std::memcpy(reinterpret_cast<unsigned char*>(m_units) + 6, &value, sizeof value);
    }
    template <class T>
    T* pointer() const noexcept
    {
        return reinterpret_cast<T*>(static_cast<std::uintptr_t>(bits()));
    }
    template <class T>
    void setPointer(T* p) noexcept
    {
        setBits(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)));
    }
    detail::ObjectRep* objectRep() const noexcept;
    detail::ArrayRep* arrayRep() const noexcept;
    bool isArenaContainer() const noexcept { return m_meta == kArenaContainer; }

    JsonKind m_kind;
    std::uint8_t m_meta; // number: scale and sign; string: inline length, kHeapString or kArenaString;
                         // container: 0 or kArenaContainer; boolean: value
    char16_t m_units[7]; // inline string, or the payload words
};

static_assert(sizeof(JsonValue) == 16);

// One member of an object: its name and its value.
class JsonMember final {
public:
    JsonMember(detail::Key key, JsonValue value) noexcept : m_key(std::move(key)), m_value(std::move(value)) {}
    // A member holding the empty value, for the parser to fill in place.
    explicit JsonMember(detail::Key key) noexcept : m_key(std::move(key)) {}

    std::u16string_view name() const noexcept { return m_key.view(); }
    const JsonValue& value() const noexcept { return m_value; }

private:
    friend class detail::TreeBuilder;
    friend class JsonValue;
    detail::Key m_key;
    JsonValue m_value;
};

} // namespace json
