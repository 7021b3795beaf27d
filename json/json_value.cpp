#include "json/json_value.h"

#include "json/tree_builder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>

namespace json {
namespace detail {

Key::Key(std::u16string_view name) : Key(TreeBuilder::makeKey(nullptr, name.data(), name.size(), hashOf(name))) {}

Key::Key(const Key& other) noexcept : m_rep(other.m_rep)
{
    if (m_rep != nullptr && !m_rep->inArena()) {
        m_rep->refs.fetch_add(1, std::memory_order_relaxed);
    }
}

Key& Key::operator=(Key other) noexcept
{
    std::swap(m_rep, other.m_rep);
    return *this;
}

Key::~Key()
{
    if (m_rep != nullptr && !m_rep->inArena() && m_rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_rep->~KeyRep();
        ::operator delete(m_rep);
    }
}

std::u16string_view Key::view() const noexcept
{
    return m_rep == nullptr ? std::u16string_view() : std::u16string_view(m_rep->chars(), m_rep->length);
}

std::uint32_t Key::hash() const noexcept
{
    return m_rep == nullptr ? hashOf({}) : m_rep->hash;
}

std::uint32_t Key::hashOf(std::u16string_view name) noexcept
{
    return TreeBuilder::hashUnits(name.data(), name.size());
}

std::size_t indexSizeFor(std::size_t members) noexcept
{
    return std::bit_ceil(members * 2 + 2);
}

void fillIndex(std::span<const JsonMember> members, std::span<std::uint32_t> index) noexcept
{
    std::fill(index.begin(), index.end(), 0);
    const std::size_t mask = index.size() - 1;
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::size_t slot = TreeBuilder::hashOf(members[i]) & mask;
        while (index[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        index[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

const JsonMember* findMember(std::span<const JsonMember> members, std::span<const std::uint32_t> index,
                             std::u16string_view name) noexcept
{
    if (index.empty()) {
        const auto found =
            std::find_if(members.begin(), members.end(), [name](const JsonMember& m) { return m.name() == name; });
        return found == members.end() ? nullptr : &*found;
    }
    const std::size_t mask = index.size() - 1;
    for (std::size_t slot = Key::hashOf(name) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = index[slot];
        if (entry == 0) {
            return nullptr;
        }
        const JsonMember& member = members[entry - 1];
        if (member.name() == name) {
            return &member;
        }
    }
}

void ObjectRep::rebuildIndex()
{
    index.resize(indexSizeFor(members.size()));
    fillIndex(members, index);
}

void ObjectRep::indexLast()
{
    if (members.size() <= kIndexThreshold) {
        return;
    }
    if (index.empty() || members.size() * 2 > index.size()) {
        rebuildIndex();
        return;
    }
    const std::size_t mask = index.size() - 1;
    std::size_t slot = TreeBuilder::hashOf(members.back()) & mask;
    while (index[slot] != 0) {
        slot = (slot + 1) & mask;
    }
    index[slot] = static_cast<std::uint32_t>(members.size());
}

Key TreeBuilder::ownedCopy(const Key& key)
{
    if (key.m_rep != nullptr && key.m_rep->inArena()) {
        return makeKey<char16_t>(nullptr, key.m_rep->chars(), key.m_rep->length, key.m_rep->hash);
    }
    return key;
}

std::span<const std::uint32_t> TreeBuilder::arenaIndex(const JsonMember* members, std::size_t count) noexcept
{
    if (count <= kIndexThreshold) {
        return {};
    }
    return {reinterpret_cast<const std::uint32_t*>(members + count), indexSizeFor(count)};
}

namespace {

// Moves scratch[start..] to `out` and truncates the scratch to `start`.
template <class T>
void moveOut(std::vector<T>& scratch, std::size_t start, T* out) noexcept
{
    for (std::size_t i = start; i < scratch.size(); ++i) {
        new (out + (i - start)) T(std::move(scratch[i]));
    }
    scratch.erase(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end());
}

} // namespace

JsonValue TreeBuilder::objectFrom(std::vector<JsonMember>& scratch, std::size_t start, Arena* arena, Arena&& owned)
{
    const std::size_t count = scratch.size() - start;
    JsonValue value(JsonKind::Object);
    if (arena != nullptr) {
        if (count > UINT32_MAX) {
            throw std::bad_alloc();
        }
        const std::size_t indexSize = count > kIndexThreshold ? indexSizeFor(count) : 0;
        static_assert(sizeof(JsonMember) % alignof(std::uint32_t) == 0);
        auto* members = static_cast<JsonMember*>(arena->allocateBytes(count * sizeof(JsonMember) +
                                                                      indexSize * sizeof(std::uint32_t)));
        moveOut(scratch, start, members);
        if (indexSize != 0) {
            fillIndex({members, count}, {reinterpret_cast<std::uint32_t*>(members + count), indexSize});
        }
        value.m_meta = JsonValue::kArenaContainer;
        value.setWord(static_cast<std::uint32_t>(count));
        value.setPointer(members);
        return value;
    }
    auto rep = std::make_unique<ObjectRep>();
    rep->arena = std::move(owned);
    rep->members.reserve(count);
    std::move(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end(), std::back_inserter(rep->members));
    scratch.erase(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end());
    if (rep->members.size() > kIndexThreshold) {
        rep->rebuildIndex();
    }
    value.setPointer(rep.release());
    return value;
}

JsonValue TreeBuilder::arrayFrom(std::vector<JsonValue>& scratch, std::size_t start, Arena* arena, Arena&& owned)
{
    const std::size_t count = scratch.size() - start;
    JsonValue value(JsonKind::Array);
    if (arena != nullptr) {
        if (count > UINT32_MAX) {
            throw std::bad_alloc();
        }
        JsonValue* elements = arena->allocate<JsonValue>(count);
        moveOut(scratch, start, elements);
        value.m_meta = JsonValue::kArenaContainer;
        value.setWord(static_cast<std::uint32_t>(count));
        value.setPointer(elements);
        return value;
    }
    auto rep = std::make_unique<ArrayRep>();
    rep->arena = std::move(owned);
    if (start == 0) {
        // The whole scratch: take its storage rather than copy it (the root array of a parsed tree).
        rep->elements.swap(scratch);
    } else {
        rep->elements.reserve(count);
        std::move(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end(),
                  std::back_inserter(rep->elements));
        scratch.erase(scratch.begin() + static_cast<std::ptrdiff_t>(start), scratch.end());
    }
    value.setPointer(rep.release());
    return value;
}

} // namespace detail

namespace {

const JsonValue& emptyValue() noexcept
{
    static const JsonValue empty;
    return empty;
}

} // namespace

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept
{
    if (this != &other) {
        release();
        m_kind = other.m_kind;
        m_meta = other.m_meta;
        std::memcpy(m_units, other.m_units, sizeof m_units);
        other.m_kind = JsonKind::Empty;
    }
    return *this;
}

JsonValue JsonValue::makeNull() noexcept
{
    return JsonValue(JsonKind::Null);
}

JsonValue JsonValue::makeBoolean(bool value) noexcept
{
    JsonValue v(JsonKind::Boolean);
    v.m_meta = value ? 1 : 0;
    return v;
}

JsonValue JsonValue::makeString(std::u16string_view text)
{
    return detail::TreeBuilder::makeString(nullptr, text.data(), text.size());
}

JsonValue JsonValue::makeObject()
{
    std::vector<JsonMember> none;
    return detail::TreeBuilder::objectFrom(none, 0, nullptr);
}

JsonValue JsonValue::makeArray()
{
    std::vector<JsonValue> none;
    return detail::TreeBuilder::arrayFrom(none, 0, nullptr);
}

JsonValue JsonValue::clone() const
{
    switch (m_kind) {
    case JsonKind::String:
        return makeString(asString());
    case JsonKind::Object: {
        JsonValue copy = makeObject();
        detail::ObjectRep* rep = copy.objectRep();
        rep->members.reserve(count());
        for (const JsonMember& m : members()) {
            rep->members.emplace_back(detail::TreeBuilder::ownedCopy(m.m_key), m.m_value.clone());
        }
        if (rep->members.size() > detail::kIndexThreshold) {
            rep->rebuildIndex();
        }
        return copy;
    }
    case JsonKind::Array: {
        JsonValue copy = makeArray();
        detail::ArrayRep* rep = copy.arrayRep();
        rep->elements.reserve(count());
        for (const JsonValue& e : elements()) {
            rep->elements.push_back(e.clone());
        }
        return copy;
    }
    default: {
        JsonValue copy(m_kind);
        copy.m_meta = m_meta;
        std::memcpy(copy.m_units, m_units, sizeof m_units);
        return copy;
    }
    }
}

bool JsonValue::asBoolean() const noexcept
{
    return m_kind == JsonKind::Boolean && m_meta != 0;
}

Decimal JsonValue::asNumber() const noexcept
{
    if (m_kind != JsonKind::Number) {
        return Decimal();
    }
    return Decimal::fromParts(word(), bits(), static_cast<std::uint8_t>(m_meta & ~kNegativeBit),
                              (m_meta & kNegativeBit) != 0);
}

std::u16string_view JsonValue::asString() const noexcept
{
    if (m_kind != JsonKind::String) {
        return {};
    }
    if (m_meta > std::size(m_units)) {
        return {pointer<const char16_t>(), word()};
    }
    return {m_units, m_meta};
}

std::size_t JsonValue::count() const noexcept
{
    if (m_kind != JsonKind::Object && m_kind != JsonKind::Array) {
        return 0;
    }
    if (isArenaContainer()) {
        return word();
    }
    return m_kind == JsonKind::Object ? objectRep()->members.size() : arrayRep()->elements.size();
}

const JsonValue& JsonValue::operator[](std::u16string_view name) const noexcept
{
    const JsonValue* value = find(name);
    return value != nullptr ? *value : emptyValue();
}

const JsonValue* JsonValue::find(std::u16string_view name) const noexcept
{
    if (m_kind != JsonKind::Object) {
        return nullptr;
    }
    const JsonMember* member =
        isArenaContainer()
            ? detail::findMember(members(), detail::TreeBuilder::arenaIndex(pointer<const JsonMember>(), word()), name)
            : objectRep()->find(name);
    return member != nullptr ? &member->value() : nullptr;
}

std::span<const JsonMember> JsonValue::members() const noexcept
{
    if (m_kind != JsonKind::Object) {
        return {};
    }
    if (isArenaContainer()) {
        return {pointer<const JsonMember>(), word()};
    }
    return objectRep()->members;
}

bool JsonValue::insert(std::u16string_view name, JsonValue value)
{
    // A container inside a parsed tree is fixed (and only reachable as const).
    if (m_kind != JsonKind::Object || isArenaContainer() || find(name) != nullptr) {
        return false;
    }
    detail::ObjectRep* rep = objectRep();
    rep->members.emplace_back(detail::Key(name), std::move(value));
    rep->indexLast();
    return true;
}

const JsonValue& JsonValue::at(std::size_t position) const noexcept
{
    if (m_kind != JsonKind::Array || position < 1 || position > count()) {
        return emptyValue();
    }
    return elements()[position - 1];
}

std::span<const JsonValue> JsonValue::elements() const noexcept
{
    if (m_kind != JsonKind::Array) {
        return {};
    }
    if (isArenaContainer()) {
        return {pointer<const JsonValue>(), word()};
    }
    return arrayRep()->elements;
}

bool JsonValue::append(JsonValue value)
{
    if (m_kind != JsonKind::Array || isArenaContainer()) {
        return false;
    }
    arrayRep()->elements.push_back(std::move(value));
    return true;
}

bool operator==(const JsonValue& a, const JsonValue& b) noexcept
{
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case JsonKind::Empty:
    case JsonKind::Null:
        return true;
    case JsonKind::Boolean:
        return a.asBoolean() == b.asBoolean();
    case JsonKind::Number:
        return a.asNumber() == b.asNumber();
    case JsonKind::String:
        return a.asString() == b.asString();
    case JsonKind::Object:
        return std::equal(
            a.members().begin(), a.members().end(), b.members().begin(), b.members().end(),
            [](const JsonMember& x, const JsonMember& y) { return x.name() == y.name() && x.value() == y.value(); });
    case JsonKind::Array:
        return std::equal(a.elements().begin(), a.elements().end(), b.elements().begin(), b.elements().end());
    }
    return false;
}

void JsonValue::release() noexcept
{
    switch (m_kind) {
    case JsonKind::String:
        if (m_meta == kHeapString) {
            delete[] pointer<char16_t>();
        }
        break;
    // Containers and strings inside a parsed tree go with the tree's arena, which its root owns.
    case JsonKind::Object:
        if (!isArenaContainer()) {
            delete objectRep();
        }
        break;
    case JsonKind::Array:
        if (!isArenaContainer()) {
            delete arrayRep();
        }
        break;
    default:
        break;
    }
    m_kind = JsonKind::Empty;
}

detail::ObjectRep* JsonValue::objectRep() const noexcept
{
    return pointer<detail::ObjectRep>();
}

detail::ArrayRep* JsonValue::arrayRep() const noexcept
{
    return pointer<detail::ArrayRep>();
}

} // namespace json
