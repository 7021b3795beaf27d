#pragma once

// The two front ends over the same workflow: the window, and the console mode for unattended sends.

#include "app/program_options.h"

#include <QIcon>

namespace client {
class Client;
}

namespace workflow {
class SyncRun;
}

namespace app {

// Exit statuses of the console mode.
enum ConsoleExit : int {
    kExitDone = 0,         // the run ended "SELESAI!"
    kExitUsage = 1,        // the command line was not understood
    kExitUnreachable = 2,  // the startup check failed
    kExitOutOfDate = 3,    // the program is out of date
    kExitStopped = 4,      // the run stopped at the e-mail check, the login or the daily limit
    kExitFailedTables = 5, // the run ended with failed tables
};

// The application icon in its eight sizes, for the window and its dialogs.
QIcon applicationIcon();

class Form1;

// Connects the window to the workflow: the button's clicks start a run, and closing the window cancels
// the request under way (and every later one), so that the program can end at once.
void wireWindow(Form1& window, client::Client& client, workflow::SyncRun& run);

// Each creates its Qt application from argc/argv and runs until the program ends.
int runWindow(int& argc, char** argv, const ProgramOptions& options);
int runConsole(int& argc, char** argv, const ProgramOptions& options);

} // namespace app
