#include "json/string_builder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <functional>
#include <string>

using json::cStringBuilder;
using json::StringBuilderError;

namespace {

// Address space for `bytes` bytes, reserved and never touched (no memory behind it); null on failure.
const void* reserveAddressSpace(std::size_t bytes)
{
#ifdef _WIN32
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_READONLY);
#else
    void* region = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return region == MAP_FAILED ? nullptr : region;
#endif
}

void releaseAddressSpace(const void* region, std::size_t bytes)
{
#ifdef _WIN32
    (void)bytes;
    VirtualFree(const_cast<void*>(region), 0, MEM_RELEASE);
#else
    munmap(const_cast<void*>(region), bytes);
#endif
}

std::u16string repeat(char16_t c, std::size_t n)
{
    return std::u16string(n, c);
}

// Runs `action`, expects the builder error `number`, and checks that content and sizes are unchanged.
void expectRefused(cStringBuilder& b, int number, const std::function<void()>& action)
{
    const std::u16string content = b.toString();
    const std::int32_t capacity = b.Capacity();
    const std::int32_t chunk = b.ChunkSize();
    try {
        action();
        FAIL() << "no error raised";
    } catch (const StringBuilderError& e) {
        EXPECT_EQ(e.number(), number);
    }
    EXPECT_EQ(b.toString(), content);
    EXPECT_EQ(b.Capacity(), capacity);
    EXPECT_EQ(b.ChunkSize(), chunk);
}

} // namespace

TEST(StringBuilder, newBuilder_isEmptyWithoutRoom)
{
    cStringBuilder b;
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.ChunkSize(), 8192);
    EXPECT_EQ(b.toString(), u"");
}

TEST(StringBuilder, append_growsInWholeChunks)
{
    struct Case {
        std::int32_t chunk;
        std::size_t appended;
        std::int32_t capacity;
    };
    for (const Case& c : {Case{8192, 0, 0}, Case{8192, 3, 8192}, Case{8192, 8192, 8192}, Case{8192, 8193, 16384},
                          Case{100, 250, 300}, Case{1, 5, 5}}) {
        cStringBuilder b;
        b.ChunkSize(c.chunk);
        b.Append(repeat(u'x', c.appended));
        EXPECT_EQ(b.Length(), static_cast<std::int32_t>(c.appended)) << c.chunk << "/" << c.appended;
        EXPECT_EQ(b.Capacity(), c.capacity) << c.chunk << "/" << c.appended;
    }
}

TEST(StringBuilder, appendOneAtATime_keepsEveryCharacterInOrder)
{
    cStringBuilder b;
    b.ChunkSize(7);
    std::u16string expected;
    for (int i = 0; i < 1000; ++i) {
        const char16_t c = static_cast<char16_t>(u'a' + i % 26);
        b.Append(std::u16string_view(&c, 1));
        expected += c;
    }
    EXPECT_EQ(b.toString(), expected);
    EXPECT_EQ(b.Capacity(), 1001); // 143 chunks of 7
}

TEST(StringBuilder, appendNL_addsCarriageReturnLineFeed)
{
    cStringBuilder b;
    b.AppendNL(u"ab");
    EXPECT_EQ(b.toString(), u"ab\r\n");
    b.AppendByVal(u"c");
    EXPECT_EQ(b.toString(), u"ab\r\nc");
}

TEST(StringBuilder, appendOfItsOwnContent_copiesBeforeGrowing)
{
    cStringBuilder b;
    b.ChunkSize(4);
    b.Append(u"abcd");
    b.Append(b.view()); // the buffer moves while growing
    EXPECT_EQ(b.toString(), u"abcdabcd");
    b.Insert(2, b.view().substr(0, 3));
    EXPECT_EQ(b.toString(), u"ababccdabcd");
}

TEST(StringBuilder, theString_replacesContentAndOnlyEverAddsRoom)
{
    cStringBuilder b;
    b.Append(repeat(u'x', 9000));
    ASSERT_EQ(b.Capacity(), 16384);
    b.TheString(u"0123456789");
    EXPECT_EQ(b.Length(), 10);
    EXPECT_EQ(b.Capacity(), 16384);
    EXPECT_EQ(b.toString(), u"0123456789");

    b.TheString(u"");
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.ChunkSize(), 8192);

    b.ChunkSize(4);
    b.TheString(u"abcdefghij");
    EXPECT_EQ(b.Capacity(), 12);
    b.TheString(b.view().substr(2, 3)); // a view of itself
    EXPECT_EQ(b.toString(), u"cde");
}

TEST(StringBuilder, clear_freesRoomButKeepsChunkSize)
{
    cStringBuilder b;
    b.ChunkSize(10);
    b.Append(u"abc");
    b.Clear();
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.ChunkSize(), 10);
}

TEST(StringBuilder, insert_placesTextBeforeOffset)
{
    struct Case {
        std::int32_t at;
        const char16_t* expected;
    };
    for (const Case& c : {Case{0, u"XYabc"}, Case{1, u"aXYbc"}, Case{3, u"abcXY"}}) {
        cStringBuilder b;
        b.Append(u"abc");
        b.Insert(c.at, u"XY");
        EXPECT_EQ(b.toString(), c.expected) << c.at;
        b.InsertByVal(0, u"");
        EXPECT_EQ(b.toString(), c.expected) << c.at;
    }
}

TEST(StringBuilder, insertLarge_growsAndKeepsFollowingContent)
{
    cStringBuilder b;
    b.Append(u"hello");
    ASSERT_EQ(b.Capacity(), 8192);
    const std::u16string big = repeat(u'z', 10000);
    b.Insert(0, big);
    EXPECT_EQ(b.Capacity(), 16384);
    EXPECT_EQ(b.toString(), big + u"hello");
}

TEST(StringBuilder, remove_shiftsTailDownAndKeepsCapacity)
{
    cStringBuilder b;
    b.Append(u"abcdef");
    b.Remove(1, 2);
    EXPECT_EQ(b.toString(), u"adef");
    b.Remove(0, b.Length());
    EXPECT_EQ(b.toString(), u"");
    EXPECT_EQ(b.Capacity(), 8192);
}

TEST(StringBuilder, outOfRangeOffsets_raiseSubscriptErrorAndChangeNothing)
{
    cStringBuilder b;
    b.Append(u"abc");
    expectRefused(b, 9, [&] { b.Insert(4, u"x"); });
    expectRefused(b, 9, [&] { b.Insert(-1, u"x"); });
    expectRefused(b, 9, [&] { b.Remove(-1, 1); });
    expectRefused(b, 9, [&] { b.Remove(4, 0); });
    expectRefused(b, 9, [&] { b.Remove(1, 3); });
    expectRefused(b, 9, [&] { b.Remove(0, -1); });
}

TEST(StringBuilder, chunkSizeZeroOrLess_isRefusedSoGrowthCannotLoop)
{
    cStringBuilder b;
    b.Append(u"abc");
    expectRefused(b, 5, [&] { b.ChunkSize(0); });
    expectRefused(b, 5, [&] { b.ChunkSize(-8); });
    b.Append(repeat(u'y', 9000)); // still grows by the old chunk
    EXPECT_EQ(b.Capacity(), 16384);
}

TEST(StringBuilder, sizesBeyond32Bits_raiseOverflow)
{
    cStringBuilder b;
    expectRefused(b, 6, [&] { b.ChunkSize(1 << 30); });
    b.ChunkSize((1 << 30) - 1);
    EXPECT_EQ(b.ChunkSize(), (1 << 30) - 1);

    // A text of 2^30 characters (reserved address space, never touched) no longer fits the byte count.
    const std::size_t units = std::size_t{1} << 30;
    const void* region = reserveAddressSpace(units * 2);
    ASSERT_NE(region, nullptr);
    const std::u16string_view huge(static_cast<const char16_t*>(region), units);
    cStringBuilder c;
    c.Append(u"abc");
    expectRefused(c, 6, [&] { c.Append(huge); });
    expectRefused(c, 6, [&] { c.Insert(1, huge); });
    expectRefused(c, 6, [&] { c.TheString(huge); });
    releaseAddressSpace(region, units * 2);
}

TEST(StringBuilder, find_isOneBasedAndHonoursStartAndComparison)
{
    cStringBuilder b;
    b.Append(u"abcabc");
    struct Case {
        const char16_t* what;
        std::int32_t start;
        std::int32_t compare;
        std::int32_t expected;
    };
    for (const Case& c : {Case{u"c", 1, 1, 3}, Case{u"c", 4, 1, 6}, Case{u"C", 1, 1, 3}, Case{u"C", 1, 0, 0},
                          Case{u"c", 0, 1, 3}, Case{u"c", -5, 0, 3}, Case{u"bc", 6, 0, 0}, Case{u"abcabcx", 1, 0, 0},
                          Case{u"", 2, 0, 2}, Case{u"", 7, 0, 0}, Case{u"BCA", 1, 1, 2}}) {
        EXPECT_EQ(b.Find(c.what, c.start, c.compare), c.expected)
            << "find '" << std::string(c.what, c.what + std::char_traits<char16_t>::length(c.what)) << "' from "
            << c.start;
    }
    EXPECT_EQ(b.Find(u"ABC"), 1); // default comparison ignores case
}

TEST(StringBuilder, find_neverMatchesInSpareRoom)
{
    cStringBuilder b;
    b.Append(u"ab"); // the rest of the chunk holds blanks
    EXPECT_EQ(b.Find(u"b ", 1, 0), 0);
    b.Append(u"cdef");
    b.Remove(2, 4); // now the spare room holds the stale "cdef"
    EXPECT_EQ(b.Find(u"cd", 1, 0), 0);
}

TEST(StringBuilder, find_ignoresCaseBeyondAscii)
{
    cStringBuilder b;
    b.Append(u"Jl. CAFÉ Lama");
    EXPECT_EQ(b.Find(u"café"), 5);
    EXPECT_EQ(b.Find(u"café", 1, 0), 0);
}

TEST(StringBuilder, heapMinimize_leavesAtMostOneSpareChunk)
{
    struct Case {
        std::size_t length;
        std::int32_t capacityBefore;
        std::int32_t capacityAfter;
    };
    for (const Case& c :
         {Case{100, 24576, 8192}, Case{8193, 24576, 16384}, Case{8192, 16384, 16384}, Case{0, 16384, 8192}}) {
        cStringBuilder b;
        b.Append(repeat(u'q', 20000));
        ASSERT_EQ(b.Capacity(), 24576);
        b.TheString(repeat(u'r', c.length));
        if (c.length == 8192) {
            b.Clear();
            b.Append(repeat(u'r', 9000));
            b.Remove(8192, 808); // length 8192, capacity 16384: exactly one chunk spare
        }
        if (c.length == 0) {
            b.Clear();
            b.Append(repeat(u'r', 16000));
            b.Remove(0, 16000);
        }
        ASSERT_EQ(b.Capacity(), c.capacityBefore) << c.length;
        b.HeapMinimize();
        EXPECT_EQ(b.Capacity(), c.capacityAfter) << c.length;
        EXPECT_EQ(b.toString(), repeat(u'r', static_cast<std::size_t>(b.Length()))) << c.length;
    }
}
