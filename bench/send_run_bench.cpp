// One whole run of the program's workflow (start sequence with the startup check, then one send run)
// against a sandbox that serves one table, in a process of its own: the wall time, the peak resident set,
// and how late a 5 ms timer comes, i.e. the longest times between two event-loop turns.
//
//   send_run_bench SERVER_URL LOCAL_URL TOKEN NPSN USER DATA_DIR
//
// Prints one line: seconds=… peak_rss_kib=… longest_gap_ms=… other_gap_ms=… outcome=…
// The two longest gaps are reported: a single long step shows as the longest gap far above the next.

#include "process_memory.h"

#include "app/console_view.h"
#include "client/client.h"
#include "workflow/refusal_box.h"
#include "workflow/start_sequence.h"
#include "workflow/sync_run.h"
#include "workflow/window_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 kTimerNs = 5'000'000;

std::u16string u16(const char* text)
{
    return QString::fromUtf8(text).toStdU16String();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s SERVER_URL LOCAL_URL TOKEN NPSN USER DATA_DIR\n", argv[0]);
        return 2;
    }
    QCoreApplication application(argc, argv);
    std::FILE* quiet = std::fopen("/dev/null", "w");
    app::ConsoleView view(quiet, quiet);
    client::ClientSettings settings;
    settings.serverBase = u16(argv[1]);
    settings.localBase = u16(argv[2]);
    workflow::RefusalBox refusals(view.dialogs());
    client::Client client(settings, refusals);
    workflow::WindowState state;
    const QString dataDir = QString::fromLocal8Bit(argv[6]);

    QElapsedTimer clock;
    std::vector<qint64> lateness;
    qint64 lastTurn = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(now - lastTurn - kTimerNs);
        lastTurn = now;
    });
    clock.start();
    turns.start(5);
    const workflow::CheckOutcome check = workflow::Form_Load(
        view, client, state, dataDir, workflow::Credentials{u16(argv[3]), u16(argv[4]), u16(argv[5])});
    const workflow::RunOutcome outcome = check == workflow::CheckOutcome::Ready
                                             ? workflow::SyncRun(view, client, state, dataDir).BtSync_Click()
                                             : workflow::RunOutcome::Ignored;
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    lateness.push_back(clock.nsecsElapsed() - lastTurn - kTimerNs);
    turns.stop();

    std::sort(lateness.rbegin(), lateness.rend());
    const auto ms = [&](std::size_t i) { return i < lateness.size() ? static_cast<double>(lateness[i]) / 1e6 : 0.0; };
    std::printf("seconds=%.3f peak_rss_kib=%ld longest_gap_ms=%.1f other_gap_ms=%.1f outcome=%s\n", seconds, peakKiB(),
                ms(0), ms(1), outcome == workflow::RunOutcome::Done ? "done" : "not-done");
    return outcome == workflow::RunOutcome::Done ? 0 : 1;
}
