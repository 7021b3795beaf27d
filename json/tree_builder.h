#pragma once

// Internal to the json library: the representations behind JsonValue and the fast constructors the
// parser uses to build trees.
//
// A parsed tree keeps everything below its root in one arena, which the root's representation owns:
// containers inside it are plain arrays of members or elements there, long strings and member names
// too, and none of them is freed on its own. Values inside a parsed tree are only ever reachable as
// const, so they are never changed or moved out; clone() copies them into values of their own.

#include "json/arena.h"
#include "json/json_value.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <span>
#include <unordered_set>
#include <vector>

namespace json::detail {

// A name's header; its UTF-16 code units follow it in the same allocation.
struct KeyRep {
    // The count of a name that lives in a parsed tree's arena: never counted, never freed on its own.
    static constexpr std::uint32_t kInArena = UINT32_MAX;

    std::atomic<std::uint32_t> refs;
    std::uint32_t length;
    std::uint32_t hash;

    const char16_t* chars() const noexcept { return reinterpret_cast<const char16_t*>(this + 1); }
    char16_t* chars() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
    bool inArena() const noexcept { return refs.load(std::memory_order_relaxed) == kInArena; }
};

// Objects beyond this many members keep a hash index; below it a scan is as fast and costs nothing.
inline constexpr std::size_t kIndexThreshold = 48;

// The index of an object: open addressing, slot = member position + 1, 0 = free; its size is a power of
// two, at most half full.
std::size_t indexSizeFor(std::size_t members) noexcept;
void fillIndex(std::span<const JsonMember> members, std::span<std::uint32_t> index) noexcept;
const JsonMember* findMember(std::span<const JsonMember> members, std::span<const std::uint32_t> index,
                             std::u16string_view name) noexcept;

struct ObjectRep {
    Arena arena; // the tree below, when this is the root of a parsed tree; destroyed last
    std::vector<JsonMember> members;
    std::vector<std::uint32_t> index; // empty up to kIndexThreshold members

    const JsonMember* find(std::u16string_view name) const noexcept { return findMember(members, index, name); }
    void rebuildIndex();
    void indexLast();
};

struct ArrayRep {
    Arena arena; // the tree below, when this is the root of a parsed tree; destroyed last
    std::vector<JsonValue> elements;
};

class TreeBuilder final {
public:
    // Code units in 1 byte each (an ASCII run of UTF-8) or 2 bytes each. The name lives in the arena
    // when one is given, else on its own with a reference count.
    template <class Unit>
    static Key makeKey(Arena* arena, const Unit* units, std::size_t length, std::uint32_t hash);
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
    // A name of its own with the same text, for a copy that may outlive the tree of `key`.
    static Key ownedCopy(const Key& key);
    static const Key& key(const JsonMember& member) noexcept { return member.m_key; }
    static JsonValue& value(JsonMember& member) noexcept { return member.m_value; }

    // A string in the arena when one is given (unless it fits inline), else on its own.
    template <class Unit>
    static JsonValue makeString(Arena* arena, const Unit* units, std::size_t length);
    // A string of `length` code units that `fill` writes.
    template <class Fill>
    static JsonValue makeStringWith(Arena* arena, std::size_t length, Fill&& fill);
    // Moves scratch[start..] into a new container and truncates the scratch to `start`. The members'
    // names must be unique already. With an arena, the container lives in it (a container inside a
    // parsed tree); without, it is a container of its own, which takes over `owned` (the arena of the
    // tree below it, if any).
    static JsonValue objectFrom(std::vector<JsonMember>& scratch, std::size_t start, Arena* arena,
                                Arena&& owned = Arena());
    static JsonValue arrayFrom(std::vector<JsonValue>& scratch, std::size_t start, Arena* arena,
                               Arena&& owned = Arena());
    // The index of a container in an arena, which follows its members there.
    static std::span<const std::uint32_t> arenaIndex(const JsonMember* members, std::size_t count) noexcept;
};

template <class Unit>
Key TreeBuilder::makeKey(Arena* arena, const Unit* units, std::size_t length, std::uint32_t hash)
{
    if (length > UINT32_MAX - sizeof(KeyRep)) {
        throw std::bad_alloc();
    }
    const std::size_t bytes = sizeof(KeyRep) + length * sizeof(char16_t);
    void* raw = arena != nullptr ? arena->allocateBytes(bytes) : ::operator new(bytes);
    auto* rep = new (raw) KeyRep{{arena != nullptr ? KeyRep::kInArena : 1}, static_cast<std::uint32_t>(length), hash};
    std::copy_n(units, length, rep->chars());
    Key key;
    key.m_rep = rep;
    return key;
}

template <class Fill>
JsonValue TreeBuilder::makeStringWith(Arena* arena, std::size_t length, Fill&& fill)
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
    char16_t* units = arena != nullptr ? arena->allocate<char16_t>(length) : new char16_t[length];
    fill(units);
    value.m_meta = arena != nullptr ? JsonValue::kArenaString : JsonValue::kHeapString;
    value.setWord(static_cast<std::uint32_t>(length));
    value.setPointer(units);
    return value;
}

template <class Unit>
JsonValue TreeBuilder::makeString(Arena* arena, const Unit* units, std::size_t length)
{
    return makeStringWith(arena, length, [&](char16_t* out) { std::copy_n(units, length, out); });
}

// The names of an object being read, whose members lie in a scratch stack from `start` on: tells a new
// name from one already stored. Names are interned, so the same name is the same pointer. Below
// kScannedNames members a scan finds a duplicate fastest; past it a set of the names is built once.
class MemberNames final {
public:
    explicit MemberNames(std::size_t start) noexcept : m_start(start) {}

    // Whether `rep` is none of the names of members[start...]; it is then counted as stored.
    bool isNew(const std::vector<JsonMember>& members, const KeyRep* rep)
    {
        if (m_set == nullptr && members.size() - m_start < kScannedNames) {
            return std::none_of(members.begin() + static_cast<std::ptrdiff_t>(m_start), members.end(),
                                [rep](const JsonMember& member) { return TreeBuilder::rep(member) == rep; });
        }
        if (m_set == nullptr) {
            m_set = std::make_unique<std::unordered_set<const KeyRep*>>();
            for (std::size_t i = m_start; i < members.size(); ++i) {
                m_set->insert(TreeBuilder::rep(members[i]));
            }
        }
        return m_set->insert(rep).second;
    }

private:
    static constexpr std::size_t kScannedNames = 64;

    std::size_t m_start;
    std::unique_ptr<std::unordered_set<const KeyRep*>> m_set;
};

} // namespace json::detail
