#include "app/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using namespace std::chrono_literals;

// A terminal stand-in: a temporary file and a clock the test moves.
class TerminalProgressTest : public ::testing::Test {
protected:
    std::string written()
    {
        std::fflush(file.get());
        std::rewind(file.get());
        std::string text;
        for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get())) {
            text += static_cast<char>(c);
        }
        return text;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
    std::chrono::steady_clock::time_point now{};
    app::TerminalProgress::Clock clock = [this] { return now; };
};

} // namespace

TEST_F(TerminalProgressTest, longTransfer_drawsOneLineInPlaceAndErasesIt)
{
    app::TerminalProgress progress(file.get(), true, clock);
    const std::u16string url = u"http://127.0.0.1:5774/WebService/getSiswa?npsn=20500123";
    progress.update(url, 0, 0);
    now += 500ms;
    progress.update(url, 4096, 0); // too early: a short request shows nothing
    EXPECT_EQ(written(), "");
    now += 700ms;
    progress.update(url, 3 * 1024 * 1024 / 2, 0);
    now += 100ms;
    progress.update(url, 2 * 1024 * 1024, 0); // redrawn at most every 200 ms
    now += 1000ms;
    progress.update(url, 12 * 1024 * 1024 + 1024 * 1024 / 3, 0);
    progress.erase();
    progress.erase(); // nothing left to erase
    EXPECT_EQ(written(), "\rgetSiswa: 1,5 MB diterima, 1 dtk"
                         "\rgetSiswa: 12,3 MB diterima, 2 dtk"
                         "\r                                 \r");
}

TEST_F(TerminalProgressTest, notATerminal_writesNothing)
{
    app::TerminalProgress progress(file.get(), false, clock);
    progress.update(u"https://s.example/api_api/kirim_data/1/getSiswa", 0, 0);
    now += 5s;
    progress.update(u"https://s.example/api_api/kirim_data/1/getSiswa", 0, 5000000);
    progress.erase();
    EXPECT_EQ(written(), "");
}

TEST(TerminalProgressText, namesTheTableAndTheBytesInThatDirection)
{
    struct Case {
        std::u16string url;
        std::int64_t received;
        std::int64_t sent;
        std::string expected;
    };
    for (const Case& c : {
             Case{u"https://s.example/api_api/kirim_data/20500123/getGuru", 0, 2048, "getGuru: 2,0 KB dikirim, 7 dtk"},
             Case{u"https://s.example/api_api/kirim_data/20500123/getGuru", 47, 9999999,
                  "getGuru: 47 byte diterima, 7 dtk"},
             Case{u"http://127.0.0.1:5774/WebService/getKelas?npsn=1#x", 1023, 0,
                  "getKelas: 1023 byte diterima, 7 dtk"},
         }) {
        EXPECT_EQ(app::TerminalProgress::describe(c.url, c.received, c.sent, std::chrono::seconds(7)), c.expected);
    }
}
