// One SendTable of a table the sandbox serves, measured in a process of its own: wall time, peak
// resident set, and the gaps between event-loop turns (a 1 ms timer noting how late it comes). Then,
// for the comparison, the time ParseJsonUtf8 takes to parse the same bytes and free the tree (after the
// peak was read, so the file read for it does not count).
//
//   send_table_bench SERVER_URL LOCAL_URL TABLE_NAME TABLE_FILE NPSN TOKEN
//
// Prints one line: seconds=… parse_seconds=… peak_rss_kib=… base_rss_kib=… longest_gap_ms=…
// other_gap_ms=… result=…

#include "process_memory.h"

#include "client/client.h"
#include "client/refusal_notice.h"

#include "json/json.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

class NoRefusals final : public client::RefusalNotice {
public:
    void showRefusal(std::u16string_view) override {}
};

std::u16string u16(const char* text)
{
    return QString::fromUtf8(text).toStdU16String();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s SERVER_URL LOCAL_URL TABLE_NAME TABLE_FILE NPSN TOKEN\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    NoRefusals refusals;
    client::ClientSettings settings;
    settings.serverBase = u16(argv[1]);
    settings.localBase = u16(argv[2]);
    client::Client client(settings, refusals);

    // A warm-up exchange, so that loading Qt's network code is not counted.
    client.GetSetting(u"versi");
    const long baseKiB = currentKiB();

    QElapsedTimer clock;
    std::vector<qint64> gaps;
    qint64 lastTurn = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - lastTurn);
        lastTurn = now;
    });
    clock.start();
    turns.start(1);
    const std::u16string result = client.SendTable(u16(argv[3]), u16(argv[5]), u16(argv[6]));
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    gaps.push_back(clock.nsecsElapsed() - lastTurn);
    turns.stop();
    const long peak = peakKiB();

    std::sort(gaps.rbegin(), gaps.rend());
    const double longest = gaps.empty() ? 0 : static_cast<double>(gaps[0]) / 1e6;
    const double other = gaps.size() < 2 ? 0 : static_cast<double>(gaps[1]) / 1e6;

    std::ifstream in(argv[4], std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string bytes = std::move(buffer).str();
    // Parse and free, as SendTable does (it frees the tree before the upload); the median of three.
    std::vector<double> parses;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer parseClock;
        parseClock.start();
        {
            const auto root = json::ParseJsonUtf8(bytes);
            if (!root) {
                return 1;
            }
        }
        parses.push_back(static_cast<double>(parseClock.nsecsElapsed()) / 1e9);
    }
    std::sort(parses.begin(), parses.end());
    const double parseSeconds = parses[1];

    std::printf("seconds=%.3f parse_seconds=%.3f peak_rss_kib=%ld base_rss_kib=%ld longest_gap_ms=%.1f "
                "other_gap_ms=%.1f result=%s\n",
                seconds, parseSeconds, peak, baseKiB, longest, other,
                QString::fromStdU16String(result).toUtf8().constData());
    return result == u"sukses" ? 0 : 1;
}
