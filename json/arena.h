#pragma once

// Internal to the json library: the memory of one parsed tree. Everything below the root of a parsed
// tree (containers' members and elements, long strings, member names) is carved out of a few large
// blocks, so the whole tree is freed in one step, block by block, instead of one allocation at a time.

#include <cstddef>
#include <cstdint>
#include <utility>

namespace json::detail {

class Arena final {
public:
    Arena() noexcept = default;
    Arena(Arena&& other) noexcept { take(other); }
    Arena& operator=(Arena&& other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() { release(); }

    // Room for `count` objects of type T, suitably aligned; never null (exhausted memory throws
    // std::bad_alloc). The room is uninitialised and lives as long as the arena.
    template <class T>
    T* allocate(std::size_t count)
    {
        static_assert(alignof(T) <= kAlignment);
        if (count > kMaxBytes / sizeof(T)) {
            throwBadAlloc();
        }
        return static_cast<T*>(allocateBytes(count * sizeof(T)));
    }
    // Room for `bytes` bytes, aligned for any type the tree holds.
    void* allocateBytes(std::size_t bytes)
    {
        const std::size_t rounded = (bytes + kAlignment - 1) & ~(kAlignment - 1);
        if (rounded > static_cast<std::size_t>(m_end - m_next)) {
            return allocateSlow(rounded);
        }
        void* at = m_next;
        m_next += rounded;
        return at;
    }

private:
    struct Block {
        Block* previous; // the room follows the header
    };
    static constexpr std::size_t kAlignment = 8;
    static constexpr std::size_t kMaxBytes = SIZE_MAX / 4;
    static constexpr std::size_t kFirstBlockBytes = 4096;
    static constexpr std::size_t kLargestBlockBytes = std::size_t{4} << 20;

    void* allocateSlow(std::size_t bytes);
    [[noreturn]] static void throwBadAlloc();
    void release() noexcept;
    void take(Arena& other) noexcept
    {
        m_last = std::exchange(other.m_last, nullptr);
        m_next = std::exchange(other.m_next, nullptr);
        m_end = std::exchange(other.m_end, nullptr);
        m_nextBlockBytes = std::exchange(other.m_nextBlockBytes, kFirstBlockBytes);
    }

    Block* m_last = nullptr;       // the newest block; each points to the one before
    unsigned char* m_next = nullptr; // free room of the current block
    unsigned char* m_end = nullptr;
    std::size_t m_nextBlockBytes = kFirstBlockBytes;
};

} // namespace json::detail
