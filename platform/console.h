#pragma once

// The console mode's side of the operating system: the command line as Unicode text, a console to write
// on, and text written so that it reads correctly there. A Windows program built for the window has no
// console of its own and reads its arguments in the ANSI code page unless asked otherwise; elsewhere
// these are the plain standard calls.

#include <QByteArrayList>

#include <cstdio>
#include <string_view>

namespace platform {

// The program's arguments after its name, as UTF-8. Elsewhere than on Windows they are the bytes exactly
// as given, which need not be UTF-8: decoding them here would silently turn such bytes into U+FFFD, and
// only the caller knows which option to blame. On Windows they come from the wide command line, so that
// characters outside the ANSI code page arrive intact.
QByteArrayList programArguments(int argc, char** argv);

// On Windows: connects standard output and standard error to the console of the process that started
// the program (cmd.exe, PowerShell, or the console launcher beside the program), unless the caller
// redirected them to a file or a pipe. Started from the desktop there is no such console and nothing
// happens. Elsewhere nothing happens.
void attachParentConsole();

// Writes UTF-8 text to `stream` and flushes it. A Windows console gets the text as UTF-16, correct in any
// console code page; files, pipes and terminals elsewhere get the UTF-8 bytes unchanged.
void writeText(std::FILE* stream, std::string_view utf8);

// Whether a standard stream is an interactive terminal (a console window), as opposed to a pipe or a
// file: live progress is drawn only there.
bool isTerminal(std::FILE* stream);

} // namespace platform
