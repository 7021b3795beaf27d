#include "platform/direct_file.h"

#include "platform/file_access.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

namespace platform {
namespace {

HANDLE handleOf(qintptr value)
{
    return reinterpret_cast<HANDLE>(value);
}

// A byte far beyond any file's end, locked around every write: no data is ever there, so the lock keeps
// out only other writers waiting for the same byte.
OVERLAPPED writersLock()
{
    OVERLAPPED range{};
    range.OffsetHigh = 0x40000000;
    return range;
}

bool writeAll(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), size, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

bool DirectFile::open(const QString& path, OpenMode mode)
{
    close();
    const std::wstring name = path.toStdWString();
    // Appending data without the right to write data: the system then puts every write at the file's
    // current end. With the right to write, a position taken once at opening would be overwritten by
    // whatever another process appended since. Reading is what locking a range needs.
    const DWORD access = mode == OpenMode::Append ? FILE_READ_DATA | FILE_APPEND_DATA : GENERIC_WRITE;
    const DWORD disposition = mode == OpenMode::Append ? OPEN_ALWAYS : CREATE_NEW;
    const HANDLE handle = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return fail();
    }
    const bool created = mode == OpenMode::CreateNew || GetLastError() != ERROR_ALREADY_EXISTS;
    m_handle = reinterpret_cast<qintptr>(handle);
    if (created && !restrictToOwner(path)) {
        fail();
        close();
        return false;
    }
    return true;
}

bool DirectFile::write(std::string_view bytes)
{
    // Windows' own file systems put an appending write at the end in one step; Wine (and a file shared
    // over the network) may find the end first and write there after, so that two processes appending
    // at once write over each other. Writers of one file therefore take turns.
    const HANDLE handle = handleOf(m_handle);
    OVERLAPPED lock = writersLock();
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock)) {
        return fail();
    }
    const bool written = writeAll(handle, bytes);
    if (!written) {
        fail();
    }
    UnlockFileEx(handle, 0, 1, 0, &lock);
    return written;
}

bool DirectFile::sync()
{
    return FlushFileBuffers(handleOf(m_handle)) || fail();
}

bool DirectFile::close()
{
    const qintptr handle = std::exchange(m_handle, kClosed);
    return handle == kClosed || CloseHandle(handleOf(handle)) || fail();
}

bool DirectFile::fail()
{
    m_error = qt_error_string(static_cast<int>(GetLastError()));
    return false;
}

bool replaceFile(const QString& from, const QString& to)
{
    const std::wstring source = from.toStdWString();
    const std::wstring target = to.toStdWString();
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

} // namespace platform
