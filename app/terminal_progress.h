#pragma once

// The console mode's live progress: one line on a terminal, rewritten in place while a request runs
// long (the table or setting it concerns, the bytes received or sent, the seconds it has taken), and
// erased before the next printed line. Disabled it writes nothing at all, so that output redirected to
// a pipe or file stays exactly what the console mode prints.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace app {

class TerminalProgress final {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // A request shorter than this shows no line; the line is redrawn at most this often.
    static constexpr std::chrono::milliseconds kShowAfter{1000};
    static constexpr std::chrono::milliseconds kRedrawEvery{200};

    TerminalProgress(std::FILE* stream, bool enabled, Clock clock = std::chrono::steady_clock::now);

    // A request to `url` has come this far; received and sent both 0 mark the start of a request.
    void update(std::u16string_view url, std::int64_t received, std::int64_t sent);
    // Removes the line, if one is shown.
    void erase();

    // What the line shows: the last segment of the address's path, the bytes (those received once a
    // reply flows, else those sent) and the whole seconds; e.g. "getSiswa: 1,4 MB diterima, 3 dtk".
    static std::string describe(std::u16string_view url, std::int64_t received, std::int64_t sent,
                                std::chrono::seconds elapsed);

private:
    std::FILE* m_stream;
    bool m_enabled;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_drawn;
    std::size_t m_shownWidth = 0; // characters on the line; 0 when none is shown
};

} // namespace app
