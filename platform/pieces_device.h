#pragma once

// A request body made of byte arrays read in place: a table of a hundred megabytes goes out without
// first being copied into one array behind its wrapper. Random access, so Qt can rewind it for a
// resend. Open for reading from the start.

#include <QByteArrayList>
#include <QIODevice>

namespace platform {

class PiecesDevice final : public QIODevice {
public:
    explicit PiecesDevice(QByteArrayList pieces);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArrayList m_pieces;
    qint64 m_size = 0;
};

} // namespace platform
