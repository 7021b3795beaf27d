#include "json/arena.h"

#include <algorithm>
#include <new>

namespace json::detail {

void* Arena::allocateSlow(std::size_t bytes)
{
    static_assert(sizeof(Block) % kAlignment == 0);
    // A request larger than a quarter of the next block gets a block of its own, so that the room left
    // in the current block is not abandoned for it.
    const bool own = bytes > m_nextBlockBytes / 4;
    const std::size_t size = own ? bytes : m_nextBlockBytes;
    auto* block = static_cast<Block*>(::operator new(sizeof(Block) + size));
    auto* room = reinterpret_cast<unsigned char*>(block + 1);
    if (own && m_last != nullptr) {
        // Keep the current block on top: its room stays in use.
        block->previous = m_last->previous;
        m_last->previous = block;
        return room;
    }
    block->previous = m_last;
    m_last = block;
    m_next = room + bytes;
    m_end = room + size;
    if (!own) {
        m_nextBlockBytes = std::min(m_nextBlockBytes * 2, kLargestBlockBytes);
    }
    return room;
}

void Arena::throwBadAlloc()
{
    throw std::bad_alloc();
}

void Arena::release() noexcept
{
    while (m_last != nullptr) {
        Block* previous = m_last->previous;
        ::operator delete(m_last);
        m_last = previous;
    }
    m_next = m_end = nullptr;
}

} // namespace json::detail
