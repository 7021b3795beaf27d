// The console mode with its standard error on a terminal (a pseudo-terminal the test reads), its
// standard output on a pipe.

#include "workflow_fixture.h"

#include "app/front_ends.h"

#include <QProcess>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class ConsoleOnTerminalTest : public WorkflowTest {};

// Everything written to the terminal so far.
std::string drain(int master)
{
    std::string text;
    char buffer[4096];
    for (ssize_t n = ::read(master, buffer, sizeof buffer); n > 0; n = ::read(master, buffer, sizeof buffer)) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

} // namespace

TEST_F(ConsoleOnTerminalTest, longRequest_showsALiveLineErasedBeforeTheNextLine)
{
    // The upload's reply comes after 1.5 s: long enough for the live line.
    setScenario([](sandbox::Scenario& s) {
        s.endpoints = "getSekolah";
        s.faultPath = "/api_api/kirim_data/";
        s.delay = std::chrono::milliseconds(1500);
    });
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    QProcess process;
    process.setStandardErrorFile(QString::fromLocal8Bit(::ptsname(master)));
    process.start(QStringLiteral(MTH_PROGRAM),
                  {QStringLiteral("--cli"), QStringLiteral("--server"), QString::fromStdString(server->serverUrl()),
                   QStringLiteral("--local"), QString::fromStdString(server->localUrl()), QStringLiteral("--data-dir"),
                   dataDir.path(), QStringLiteral("--token"), QString::fromStdString(school.token),
                   QStringLiteral("--npsn"), QString::fromStdString(school.npsn), QStringLiteral("--user"),
                   QString::fromStdString(school.users.front().username)});
    std::string terminal;
    while (!process.waitForFinished(100)) {
        terminal += drain(master);
    }
    terminal += drain(master);
    ::close(master);
    EXPECT_EQ(process.exitCode(), app::kExitDone);

    const std::size_t line = terminal.find("\rgetSekolah: ");
    ASSERT_NE(line, std::string::npos) << terminal;
    const std::size_t erased = terminal.find('\r', line + 1);
    ASSERT_NE(erased, std::string::npos);
    const std::string shown = terminal.substr(line + 1, erased - line - 1);
    EXPECT_TRUE(shown.ends_with(" dtk")) << shown;
    // Blanked over its whole width and the cursor back at the start before the next printed line.
    const std::string blank = "\r" + std::string(shown.size(), ' ') + "\r";
    EXPECT_EQ(terminal.substr(erased, blank.size()), blank);
    // The log itself still goes to standard output unchanged, and it holds no trace of the live line.
    const QByteArray out = process.readAllStandardOutput();
    EXPECT_TRUE(out.contains("    [v] Kirim Data Sukses (")) << out.toStdString();
    EXPECT_FALSE(out.contains('\r'));
}
