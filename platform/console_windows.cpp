#include "platform/console.h"

#include <QString>

#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include <string>

namespace platform {

namespace {

// A stream the caller redirected to a file or a pipe stays there; anything else goes to the console.
void reopenOnConsole(DWORD which, std::FILE* stream)
{
    const HANDLE handle = GetStdHandle(which);
    const DWORD type = handle && handle != INVALID_HANDLE_VALUE ? GetFileType(handle) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        return;
    }
    if (std::freopen("CONOUT$", "w", stream)) {
        SetStdHandle(which, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
    }
}

std::wstring toWide(std::string_view utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

} // namespace

QByteArrayList programArguments(int, char**)
{
    QByteArrayList arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments << QString::fromWCharArray(wide[i]).toUtf8();
    }
    LocalFree(wide);
    return arguments;
}

void attachParentConsole()
{
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return; // started from the desktop, or already on a console
    }
    reopenOnConsole(STD_OUTPUT_HANDLE, stdout);
    reopenOnConsole(STD_ERROR_HANDLE, stderr);
}

void writeText(std::FILE* stream, std::string_view utf8)
{
    std::fflush(stream);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = toWide(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

bool isTerminal(std::FILE* stream)
{
    return ::_isatty(::_fileno(stream)) != 0;
}

} // namespace platform
