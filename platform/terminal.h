#pragma once

// Whether a standard stream is an interactive terminal (a console window), as opposed to a pipe or a
// file: live progress is drawn only there.

#include <cstdio>

namespace platform {

bool isTerminal(std::FILE* stream);

} // namespace platform
