#include "json/string_builder.h"

#include "json/text_case.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace json {
namespace {

constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();

const char* describe(int number)
{
    switch (number) {
    case StringBuilderError::InvalidArgument:
        return "Invalid procedure call or argument";
    case StringBuilderError::Overflow:
        return "Overflow";
    case StringBuilderError::SubscriptOutOfRange:
        return "Subscript out of range";
    default:
        return "String builder error";
    }
}

// The smallest capacity reached from `capacity` in whole steps of `chunk` that holds `needed` bytes.
std::int64_t grownCapacity(std::int64_t capacity, std::int64_t chunk, std::int64_t needed)
{
    const std::int64_t steps = (needed - capacity + chunk - 1) / chunk;
    const std::int64_t grown = capacity + steps * chunk;
    if (grown > kMaxBytes) {
        throw StringBuilderError(StringBuilderError::Overflow);
    }
    return grown;
}

} // namespace

StringBuilderError::StringBuilderError(int number) : std::runtime_error(describe(number)), m_number(number) {}

void cStringBuilder::ChunkSize(std::int32_t iChunkSize)
{
    if (iChunkSize <= 0) {
        throw StringBuilderError(StringBuilderError::InvalidArgument);
    }
    const std::int64_t bytes = static_cast<std::int64_t>(iChunkSize) * 2;
    if (bytes > kMaxBytes) {
        throw StringBuilderError(StringBuilderError::Overflow);
    }
    lChunkBytes = static_cast<std::int32_t>(bytes);
}

void cStringBuilder::TheString(std::u16string_view sThis)
{
    const std::int64_t n = byteSize(sThis);
    if (n == 0) {
        Clear();
        return;
    }
    if (n > kMaxBytes) {
        throw StringBuilderError(StringBuilderError::Overflow);
    }
    if (n > lCapacityBytes) {
        if (aliasesBuffer(sThis)) {
            TheString(std::u16string(sThis));
            return;
        }
        growToFit(n);
    }
    // The new content may overlap the old one when sThis is a view of this builder.
    std::char_traits<char16_t>::move(sBuffer.data(), sThis.data(), sThis.size());
    lUsedBytes = static_cast<std::int32_t>(n);
}

void cStringBuilder::Clear() noexcept
{
    sBuffer = std::u16string();
    lUsedBytes = 0;
    lCapacityBytes = 0;
}

void cStringBuilder::AppendNL(std::u16string_view sThis)
{
    Append(sThis);
    Append(u"\r\n");
}

void cStringBuilder::Insert(std::int32_t iIndex, std::u16string_view sThis)
{
    if (iIndex < 0 || iIndex > Length()) {
        throw StringBuilderError(StringBuilderError::SubscriptOutOfRange);
    }
    if (sThis.empty()) {
        return;
    }
    if (aliasesBuffer(sThis)) {
        Insert(iIndex, std::u16string(sThis));
        return;
    }
    const std::int64_t needed = static_cast<std::int64_t>(lUsedBytes) + byteSize(sThis);
    if (needed > lCapacityBytes) {
        growToFit(needed);
    }
    char16_t* at = OffsetAddress(iIndex * 2);
    std::char_traits<char16_t>::move(at + sThis.size(), at, static_cast<std::size_t>(Length() - iIndex));
    copyAt(iIndex * 2, sThis);
    lUsedBytes = static_cast<std::int32_t>(needed);
}

void cStringBuilder::Remove(std::int32_t iIndex, std::int32_t lLen)
{
    if (iIndex < 0 || iIndex > Length() || lLen < 0 || static_cast<std::int64_t>(iIndex) + lLen > Length()) {
        throw StringBuilderError(StringBuilderError::SubscriptOutOfRange);
    }
    char16_t* at = OffsetAddress(iIndex * 2);
    std::char_traits<char16_t>::move(at, at + lLen, static_cast<std::size_t>(Length() - iIndex - lLen));
    lUsedBytes -= lLen * 2;
}

std::int32_t cStringBuilder::Find(std::u16string_view sToFind, std::int32_t lStartIndex, std::int32_t compare) const
{
    const std::u16string_view content = view();
    const std::size_t from = static_cast<std::size_t>(std::max(lStartIndex, 1) - 1);
    if (from >= content.size()) {
        return 0;
    }
    if (compare == 0) {
        const std::size_t at = content.find(sToFind, from);
        return at == std::u16string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
    }
    const auto sameIgnoringCase = [](char16_t a, char16_t b) { return toLowerUnit(a) == toLowerUnit(b); };
    const auto found = std::search(content.begin() + static_cast<std::ptrdiff_t>(from), content.end(), sToFind.begin(),
                                   sToFind.end(), sameIgnoringCase);
    if (found == content.end() && !sToFind.empty()) {
        return 0;
    }
    return static_cast<std::int32_t>(found - content.begin() + 1);
}

void cStringBuilder::HeapMinimize()
{
    if (lCapacityBytes - lUsedBytes <= lChunkBytes) {
        return;
    }
    std::int32_t c = lCapacityBytes;
    while (c - lUsedBytes > lChunkBytes) {
        c -= lChunkBytes;
    }
    sBuffer.resize(static_cast<std::size_t>(c / 2));
    sBuffer.shrink_to_fit();
    lCapacityBytes = c;
}

bool cStringBuilder::aliasesBuffer(std::u16string_view text) const noexcept
{
    const std::less<const char16_t*> before;
    const char16_t* begin = sBuffer.data();
    const char16_t* end = begin + sBuffer.size();
    return !before(text.data(), begin) && before(text.data(), end);
}

void cStringBuilder::growToFit(std::int64_t neededBytes)
{
    if (neededBytes > kMaxBytes) {
        throw StringBuilderError(StringBuilderError::Overflow);
    }
    const std::int64_t grown = grownCapacity(lCapacityBytes, lChunkBytes, neededBytes);
    sBuffer.resize(static_cast<std::size_t>(grown / 2), u' ');
    lCapacityBytes = static_cast<std::int32_t>(grown);
}

} // namespace json
