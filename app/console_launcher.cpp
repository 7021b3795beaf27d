// murenta-tervalis-helper.com, installed beside murenta-tervalis-helper.exe on Windows. The .exe is a
// window program: started from the desktop it shows no console, but cmd.exe and PowerShell neither wait
// for it nor see its exit status. Typed as "murenta-tervalis-helper", the name resolves to this .com
// first (.COM precedes .EXE in PATHEXT): a console program, so the caller waits for it. It starts the
// .exe beside it with the same arguments on the same console and standard handles, and ends with its
// exit status.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after the program's own name, as the caller wrote it.
const wchar_t* argumentsAfterProgramName(const wchar_t* line)
{
    if (*line == L'"') {
        for (++line; *line && *line != L'"'; ++line) {
        }
        if (*line) {
            ++line;
        }
    } else {
        for (; *line && *line != L' ' && *line != L'\t'; ++line) {
        }
    }
    for (; *line == L' ' || *line == L'\t'; ++line) {
    }
    return line;
}

// This program's path with ".exe" in place of ".com".
std::wstring windowProgramPath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::size_t dot = path.find_last_of(L'.');
    return (dot == std::wstring::npos ? path : path.substr(0, dot)) + L".exe";
}

} // namespace

int main()
{
    const std::wstring program = windowProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" " + argumentsAfterProgramName(GetCommandLineW());

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fwprintf(stderr, L"Tidak dapat menjalankan %ls (kode %lu)\n", program.c_str(), GetLastError());
        return 1;
    }
    // Ctrl+C reaches the program on the same console; this launcher only waits for it to end.
    SetConsoleCtrlHandler(nullptr, TRUE);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
