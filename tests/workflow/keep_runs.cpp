// Keeps numbered runs in a send history as program runs that end together do, for the test of two
// programs sharing one history. Usage: keep_runs DATA_DIR TAG COUNT. Prints "ready" and waits for a line
// on standard input, so that the test can start both before either keeps anything; each run's reason is
// TAG and its number.

#include "recording_view.h"

#include "workflow/send_history.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        return 2;
    }
    workflow::SendHistory history(QString::fromLocal8Bit(argv[1]), workflow::RunMode::Console);
    testing_support::RecordingDialogs dialogs;
    testing_support::RecordingView view(dialogs);
    std::puts("ready");
    std::fflush(stdout);
    char go[8];
    if (std::fgets(go, sizeof go, stdin) == nullptr) {
        return 1;
    }
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        workflow::RunRecord run{.start = QDateTime::currentDateTime(), .status = u"SELESAI!"};
        run.end = run.start;
        run.reason = QString(tag + u' ' + QString::number(i)).toStdU16String();
        history.keep(std::move(run), view);
    }
    return view.log.empty() ? 0 : 1; // the history said it could not be written
}
