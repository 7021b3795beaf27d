#pragma once

// The two front ends over the same workflow: the window, and the console mode for unattended sends.

#include "app/program_options.h"
#include "workflow/exit_status.h"

#include <QIcon>

namespace client {
class Client;
}

namespace workflow {
class SyncRun;
}

namespace app {

// Exit statuses of the console mode.
using workflow::ConsoleExit;
using enum workflow::ConsoleExit;

// The application icon in its eight sizes, for the window and its dialogs.
QIcon applicationIcon();

class Form1;

// Connects the window to the workflow: the button's clicks start a run, and closing the window cancels
// the request under way (and every later one), so that the program can end at once.
void wireWindow(Form1& window, client::Client& client, workflow::SyncRun& run);

// Each creates its Qt application from argc/argv and runs until the program ends.
int runWindow(int& argc, char** argv, const ProgramOptions& options);
int runConsole(int& argc, char** argv, const ProgramOptions& options);
// --history: prints the newest runs of the send history on standard output, one line each, the newest
// first, and says on standard error how many lines could not be read; contacts no server. Exits 0.
int runHistory(int& argc, char** argv, const ProgramOptions& options);

} // namespace app
