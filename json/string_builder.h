#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace json {

// A failure raised by cStringBuilder. The state of the builder is unchanged when it is thrown.
class StringBuilderError final : public std::runtime_error {
public:
    static constexpr int InvalidArgument = 5;     // "Invalid procedure call or argument"
    static constexpr int Overflow = 6;            // a size beyond the signed 32-bit range
    static constexpr int SubscriptOutOfRange = 9; // an offset or length outside the content

    explicit StringBuilderError(int number);
    int number() const noexcept { return m_number; }

private:
    int m_number;
};

// A growable UTF-16 text buffer: the content sits at the front of a preallocated buffer that grows in
// whole chunks (8192 characters by default), so building a text one character at a time is linear.
// Sizes are kept in bytes and reported in characters. Spare room holds blanks (after growth) or stale
// characters (after removal) and is never part of any result.
//
// Member and parameter names keep the type prefixes of the original class so that they can be traced.
class cStringBuilder final {
public:
    cStringBuilder() = default;

    // Content length in characters.
    std::int32_t Length() const noexcept { return lUsedBytes / 2; }
    // Buffer length in characters: 0 until the first append or assignment.
    std::int32_t Capacity() const noexcept { return lCapacityBytes / 2; }
    // Growth step in characters.
    std::int32_t ChunkSize() const noexcept { return lChunkBytes / 2; }
    // Sets the growth step; existing room is unchanged. Raises InvalidArgument for 0 or less (growth in
    // steps of nothing would never fit) and Overflow when the step in bytes passes the 32-bit range.
    void ChunkSize(std::int32_t iChunkSize);

    // The content; the empty text when Length is 0.
    std::u16string toString() const { return std::u16string(view()); }
    // The content without a copy; valid until the next change of the builder.
    std::u16string_view view() const noexcept { return {sBuffer.data(), static_cast<std::size_t>(Length())}; }
    // Replaces the content. Room is only ever added, never reduced, except that the empty text frees it
    // exactly as Clear does.
    void TheString(std::u16string_view sThis);

    // Frees the buffer; the chunk size is kept.
    void Clear() noexcept;
    // Append(sThis), then Append("\r\n").
    void AppendNL(std::u16string_view sThis);
    // Appends sThis, growing by whole chunks when the room is short. An empty sThis allocates nothing.
    // Raises Overflow when the new size passes the 32-bit range.
    void Append(std::u16string_view sThis)
    {
        if (sThis.empty()) {
            return;
        }
        const std::int64_t needed = static_cast<std::int64_t>(lUsedBytes) + byteSize(sThis);
        if (needed > lCapacityBytes) {
            if (aliasesBuffer(sThis)) {
                Append(std::u16string(sThis));
                return;
            }
            growToFit(needed);
        }
        copyAt(lUsedBytes, sThis);
        lUsedBytes = static_cast<std::int32_t>(needed);
    }
    void AppendByVal(std::u16string sThis) { Append(sThis); }
    // Inserts sThis before the character at 0-based offset iIndex (iIndex == Length appends).
    // Raises SubscriptOutOfRange when iIndex is below 0 or above Length.
    void Insert(std::int32_t iIndex, std::u16string_view sThis);
    void InsertByVal(std::int32_t iIndex, std::u16string sThis) { Insert(iIndex, sThis); }
    // Removes lLen characters from 0-based offset iIndex; the capacity is unchanged. Raises
    // SubscriptOutOfRange when the range does not lie within the content.
    void Remove(std::int32_t iIndex, std::int32_t lLen);
    // 1-based position of the first occurrence of sToFind at or after lStartIndex (below 1 counts as 1)
    // lying wholly within the content, or 0. compare 0 compares exactly; any other value ignores letter
    // case (simple one-to-one case mapping of each UTF-16 code unit). An empty sToFind is found at the
    // start position when that lies within the content.
    std::int32_t Find(std::u16string_view sToFind, std::int32_t lStartIndex = 1, std::int32_t compare = 1) const;
    // Gives back spare room in whole chunks, leaving at most one chunk spare.
    void HeapMinimize();

private:
    static std::int64_t byteSize(std::u16string_view text) noexcept
    {
        return static_cast<std::int64_t>(text.size()) * 2;
    }
    // Growth moves the buffer, so a text that points into it must be copied aside first.
    bool aliasesBuffer(std::u16string_view text) const noexcept;
    // The character at a byte offset of the buffer.
    char16_t* OffsetAddress(std::int32_t lByteOffset) noexcept { return sBuffer.data() + lByteOffset / 2; }
    void growToFit(std::int64_t neededBytes);
    void copyAt(std::int32_t lByteOffset, std::u16string_view sThis) noexcept
    {
        sThis.copy(OffsetAddress(lByteOffset), sThis.size());
    }

    std::u16string sBuffer;
    std::int32_t lChunkBytes = 16384;
    std::int32_t lUsedBytes = 0;
    std::int32_t lCapacityBytes = 0;
};

} // namespace json
