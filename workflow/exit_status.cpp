#include "workflow/exit_status.h"

#include "workflow/startup_check.h"
#include "workflow/sync_run.h"

namespace workflow {

ConsoleExit exitStatusOf(CheckOutcome outcome)
{
    switch (outcome) {
    case CheckOutcome::Unreachable:
        return kExitUnreachable;
    case CheckOutcome::OutOfDate:
        return kExitOutOfDate;
    case CheckOutcome::Ready:
        break;
    }
    return kExitDone;
}

ConsoleExit exitStatusOf(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Done:
        return kExitDone;
    case RunOutcome::FailedTables:
        return kExitFailedTables;
    case RunOutcome::NoEndpointList:
        return kExitUnreachable;
    case RunOutcome::StoppedAtGate:
    case RunOutcome::Ignored:
    case RunOutcome::Interrupted:
        break;
    }
    return kExitStopped;
}

} // namespace workflow
