#pragma once

// Internal to the json library: the representations behind JsonValue and the fast constructors the
// parser uses to build trees.

#include "json/json_value.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

namespace json::detail {

// A name's header; its UTF-16 code units follow it in the same allocation.
struct KeyRep {
    std::atomic<std::uint32_t> refs;
    std::uint32_t length;
    std::uint32_t hash;

    const char16_t* chars() const noexcept { return reinterpret_cast<const char16_t*>(this + 1); }
    char16_t* chars() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
};

struct ObjectRep {
    // Objects beyond this many members keep a hash index; below it a scan is as fast and costs nothing.
    static constexpr std::size_t kIndexThreshold = 48;

    std::vector<JsonMember> members;
    // Open addressing: slot = member position + 1, 0 = free; size a power of two, at most half full.
    std::vector<std::uint32_t> index;

    const JsonMember* find(std::u16string_view name) const noexcept;
    void rebuildIndex();
    void indexLast();
};

struct ArrayRep {
    std::vector<JsonValue> elements;
};

class TreeBuilder final {
public:
    // Code units in 1 byte each (an ASCII run of UTF-8) or 2 bytes each.
    template <class Unit>
    static Key makeKey(const Unit* units, std::size_t length, std::uint32_t hash);
    template <class Unit>
    static std::uint32_t hashUnits(const Unit* units, std::size_t length) noexcept
    {
        std::uint32_t h = 2166136261u;
        for (std::size_t i = 0; i < length; ++i) {
            h = (h ^ static_cast<std::uint32_t>(units[i])) * 16777619u;
        }
        return h;
    }
    static const KeyRep* rep(const Key& key) noexcept { return key.m_rep; }
    static const KeyRep* rep(const JsonMember& member) noexcept { return member.m_key.m_rep; }
    static std::uint32_t hashOf(const JsonMember& member) noexcept { return member.m_key.hash(); }
    static bool keyEquals(const Key& key, std::u16string_view name) noexcept;

    template <class Unit>
    static JsonValue makeString(const Unit* units, std::size_t length);
    // A string of `length` code units that `fill` writes.
    template <class Fill>
    static JsonValue makeStringWith(std::size_t length, Fill&& fill);
    // Moves scratch[start..] into a new container and truncates the scratch to `start`. The members'
    // names must be unique already.
    static JsonValue objectFrom(std::vector<JsonMember>& scratch, std::size_t start);
    static JsonValue arrayFrom(std::vector<JsonValue>& scratch, std::size_t start);
};

template <class Unit>
Key TreeBuilder::makeKey(const Unit* units, std::size_t length, std::uint32_t hash)
{
    if (length > UINT32_MAX - sizeof(KeyRep)) {
        throw std::bad_alloc();
    }
    void* raw = ::operator new(sizeof(KeyRep) + length * sizeof(char16_t));
    auto* rep = new (raw) KeyRep{{1}, static_cast<std::uint32_t>(length), hash};
    char16_t* out = rep->chars();
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<char16_t>(units[i]);
    }
    Key key;
    key.m_rep = rep;
    return key;
}

template <class Fill>
JsonValue TreeBuilder::makeStringWith(std::size_t length, Fill&& fill)
{
    JsonValue value(JsonKind::String);
    if (length <= std::size(value.m_units)) {
        value.m_meta = static_cast<std::uint8_t>(length);
        fill(value.m_units);
        return value;
    }
    if (length > UINT32_MAX) {
        throw std::bad_alloc();
    }
    auto* heap = new char16_t[length];
    fill(heap);
    value.m_meta = JsonValue::kHeapString;
    value.setWord(static_cast<std::uint32_t>(length));
    value.setPointer(heap);
    return value;
}

template <class Unit>
JsonValue TreeBuilder::makeString(const Unit* units, std::size_t length)
{
    return makeStringWith(length, [&](char16_t* out) { std::copy_n(units, length, out); });
}

} // namespace json::detail
