#include "platform/direct_file.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool DirectFile::open(const QString& path, OpenMode mode)
{
    close();
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == OpenMode::CreateNew ? O_EXCL : O_APPEND);
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), flags, S_IRUSR | S_IWUSR);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return fail();
    }
    m_handle = fd;
    return true;
}

bool DirectFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(m_handle), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return fail();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool DirectFile::sync()
{
    return ::fsync(static_cast<int>(m_handle)) == 0 || fail();
}

bool DirectFile::close()
{
    const qintptr fd = std::exchange(m_handle, kClosed);
    // Never retried: after EINTR the descriptor is already gone on Linux.
    return fd == kClosed || ::close(static_cast<int>(fd)) == 0 || fail();
}

bool DirectFile::fail()
{
    m_error = qt_error_string(errno);
    return false;
}

bool replaceFile(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace platform
