#include "platform/pieces_device.h"

#include <algorithm>
#include <cstring>

namespace platform {

PiecesDevice::PiecesDevice(QByteArrayList pieces) : m_pieces(std::move(pieces))
{
    for (const QByteArray& piece : m_pieces) {
        m_size += piece.size();
    }
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 PiecesDevice::readData(char* data, qint64 maxSize)
{
    qint64 skip = pos();
    qint64 copied = 0;
    for (const QByteArray& piece : m_pieces) {
        if (copied == maxSize) {
            break;
        }
        if (skip >= piece.size()) {
            skip -= piece.size();
            continue;
        }
        const qint64 count = std::min<qint64>(piece.size() - skip, maxSize - copied);
        std::memcpy(data + copied, piece.constData() + skip, static_cast<std::size_t>(count));
        copied += count;
        skip = 0;
    }
    return copied;
}

} // namespace platform
