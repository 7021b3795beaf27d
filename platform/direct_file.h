#pragma once

// A file written straight through the operating system's own calls, with no buffer in between: every
// write reaches the system at once, so that its failure (a full disk, a size limit) is seen where it
// happens and never later, after the caller believed the bytes were kept.

#include <QString>

#include <string_view>

namespace platform {

class DirectFile final {
public:
    enum class OpenMode {
        // A file that must not exist yet.
        CreateNew,
        // Appending only: every write lands at the end the file has at that moment, whatever other
        // processes append to it meanwhile. An existing file keeps its content and its access.
        Append,
    };

    DirectFile() = default;
    ~DirectFile() { close(); }
    DirectFile(const DirectFile&) = delete;
    DirectFile& operator=(const DirectFile&) = delete;

    // Opens `path` for writing. A file created here is readable and writable by its owner only (mode
    // 0600; on Windows the access list of restrictToOwner). False when it cannot be opened or made its
    // owner's only.
    bool open(const QString& path, OpenMode mode);
    bool isOpen() const { return m_handle != kClosed; }
    // Writes all of `bytes`, in one system call unless the system takes them only in part. False on any
    // failure, when some of the bytes may have been written.
    bool write(std::string_view bytes);
    // Puts what was written on the disk itself.
    bool sync();
    // False when the system reports a failure on closing (a network file system may report a failed
    // write only then). Closing a file that is not open succeeds.
    bool close();
    // Why the last failed call failed, in the system's words.
    const QString& errorString() const { return m_error; }

private:
    static constexpr qintptr kClosed = -1; // a closed descriptor and Windows' invalid handle alike
    bool fail();

    qintptr m_handle = kClosed;
    QString m_error;
};

// Puts the file `from` in the place of `to` in one step, replacing `to` if it exists: anyone opening
// `to` finds either the old file or the new one, whole. Both must be in the same folder. False when it
// cannot be done; `to` is then as it was.
bool replaceFile(const QString& from, const QString& to);

} // namespace platform
