#pragma once

// The two front ends over the same workflow: the window, and the console mode for unattended sends.

#include "app/program_options.h"
#include "workflow/exit_status.h"

#include <QIcon>

class QWidget;

namespace client {
class Client;
}

namespace platform {
class SingleWindowLock;
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

// A later start of the window for the same data folder brings `window` to the front: shown, raised,
// activated and no longer minimised.
void bringToFrontOnRequest(QWidget& window, platform::SingleWindowLock& lock);

// Each creates its Qt application from argc/argv and runs until the program ends. A window started while
// one is open for the same data folder brings that one to the front and ends with 0 (1 when it does not
// answer, after a box saying so).
int runWindow(int& argc, char** argv, const ProgramOptions& options);
int runConsole(int& argc, char** argv, const ProgramOptions& options);
// --history: prints the newest runs of the send history on standard output, one line each, the newest
// first, and says on standard error how many lines could not be read; contacts no server. Exits 0.
int runHistory(int& argc, char** argv, const ProgramOptions& options);

} // namespace app
