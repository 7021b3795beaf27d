#pragma once

// How a run ends, as the console mode's exit status tells it: the console returns it, and the send
// history keeps it beside every run of either front end.

namespace workflow {

enum class CheckOutcome;
enum class RunOutcome;

enum ConsoleExit : int {
    kExitDone = 0,         // the run ended "SELESAI!"
    kExitUsage = 1,        // the command line was not understood
    kExitUnreachable = 2,  // the startup check failed
    kExitOutOfDate = 3,    // the program is out of date
    kExitStopped = 4,      // the run stopped at the e-mail check, the login or the daily limit
    kExitFailedTables = 5, // the run ended with failed tables
};

// A failed startup check's status; kExitDone when the check succeeded.
ConsoleExit exitStatusOf(CheckOutcome outcome);
// A run that never obtained the endpoint list counts as unreachable; one cut short, as stopped.
ConsoleExit exitStatusOf(RunOutcome outcome);

} // namespace workflow
