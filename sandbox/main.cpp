// murenta-sandbox: both outside servers on loopback, for demos, operator training and trying the
// program by hand. Prints where it listens and the demo school's credentials, logs every request to
// stderr, and runs until interrupted.

#include "sandbox/sandbox.h"

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Where a help line's text begins; an option's name and value too long for it put the text on a line below.
constexpr std::size_t kHelpColumn = 26;

sandbox::Options defaultOptions()
{
    sandbox::Options options;
    options.localPort = 5774;
    options.serverPort = 8080;
    options.bodyRecordLimit = 65536;
    return options;
}

// What the command line sets.
struct Settings {
    sandbox::Options options = defaultOptions();
    sandbox::Scenario scenario;
    bool quiet = false;
    bool help = false;
};

// What an option does with its value (empty for an option that takes none): nothing, or why the value
// will not do.
using Apply = std::function<std::optional<std::string>(Settings&, const std::string& value)>;

struct Option {
    std::string name;
    std::string valueName; // empty: the option takes no value
    // The text of its help line; an option without one is listed on the line of the option before it.
    std::string help;
    Apply apply;
};

bool readFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = std::move(buffer).str();
    return true;
}

bool splitPair(std::string_view text, std::string& name, std::string& value)
{
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        return false;
    }
    name = std::string(text.substr(0, eq));
    value = std::string(text.substr(eq + 1));
    return true;
}

bool toNumber(const std::string& text, long long& out)
{
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && out >= 0;
}

Option flag(std::string name, std::string help, std::function<void(Settings&)> set)
{
    return {std::move(name), {}, std::move(help), [set](Settings& settings, const std::string&) {
                set(settings);
                return std::optional<std::string>();
            }};
}

Option text(std::string name, std::string valueName, std::string help,
            std::function<void(Settings&, const std::string&)> set)
{
    return {std::move(name), std::move(valueName), std::move(help),
            [set](Settings& settings, const std::string& value) {
                set(settings, value);
                return std::optional<std::string>();
            }};
}

// A whole number from `least` to `most`.
Option wholeNumber(std::string name, std::string valueName, std::string help, long long least, long long most,
                   std::function<void(Settings&, long long)> set)
{
    return {name, std::move(valueName), std::move(help),
            [name, least, most, set](Settings& settings, const std::string& value) -> std::optional<std::string> {
                long long number = 0;
                if (!toNumber(value, number) || number < least || number > most) {
                    return name + " needs a whole number, not " + value;
                }
                set(settings, number);
                return std::nullopt;
            }};
}

std::optional<std::string> setRows(Settings& settings, const std::string& value)
{
    std::string name;
    std::string count;
    long long rows = 0;
    if (!splitPair(value, name, count) || !toNumber(count, rows)) {
        return "--rows needs NAME=N, not " + value;
    }
    settings.scenario.setTable(name, sandbox::generateTable(name, static_cast<std::size_t>(rows)));
    return std::nullopt;
}

std::optional<std::string> setTable(Settings& settings, const std::string& value)
{
    std::string name;
    std::string path;
    std::string contents;
    if (!splitPair(value, name, path)) {
        return "--table needs NAME=FILE, not " + value;
    }
    if (!readFile(path, contents)) {
        return "cannot read " + path;
    }
    settings.scenario.setTable(name, std::move(contents));
    return std::nullopt;
}

// The options in the order --help lists them; their help gives the values of `defaults`.
std::vector<Option> optionTable(const Settings& defaults)
{
    constexpr long long any = std::numeric_limits<long long>::max();
    return {
        wholeNumber("--local-port", "P",
                    "local data service port (default " + std::to_string(defaults.options.localPort) +
                        "; 0 picks a free one)",
                    0, 65535, [](Settings& s, long long n) { s.options.localPort = static_cast<int>(n); }),
        wholeNumber("--server-port", "Q",
                    "regional server port (default " + std::to_string(defaults.options.serverPort) +
                        "; 0 picks a free one)",
                    0, 65535, [](Settings& s, long long n) { s.options.serverPort = static_cast<int>(n); }),
        text("--tls-cert", "PEM", "serve the regional server over HTTPS with this certificate and key",
             [](Settings& s, const std::string& v) { s.options.tlsCertFile = v; }),
        text("--tls-key", "PEM", {}, [](Settings& s, const std::string& v) { s.options.tlsKeyFile = v; }),
        text("--version", "V", "the version the server announces (default " + defaults.scenario.version + ")",
             [](Settings& s, const std::string& v) { s.scenario.version = v; }),
        text("--endpoints", "LIST", "the table names the server lists (default " + defaults.scenario.endpoints + ")",
             [](Settings& s, const std::string& v) { s.scenario.endpoints = v; }),
        wholeNumber("--sends-today", "N",
                    "complete sends already counted today (default " + std::to_string(defaults.scenario.sendsToday) +
                        ")",
                    0, any, [](Settings& s, long long n) { s.scenario.sendsToday = static_cast<int>(n); }),
        flag("--refuse-login", "refuse every login", [](Settings& s) { s.scenario.refuseLogin = true; }),
        text("--fail-upload", "NAME", "refuse the upload of table NAME",
             [](Settings& s, const std::string& v) { s.scenario.failUpload = v; }),
        text("--fail-process", "NAME", "fail the processing of table NAME",
             [](Settings& s, const std::string& v) { s.scenario.failProcess = v; }),
        {"--rows", "NAME=N", "serve table NAME with N generated rows", setRows},
        {"--table", "NAME=FILE", "serve table NAME as the contents of FILE", setTable},
        text("--fault-path", "PREFIX", "the faults below hit only paths starting with PREFIX (default: all)",
             [](Settings& s, const std::string& v) { s.scenario.faultPath = v; }),
        wholeNumber("--delay-ms", "N", "wait N ms before every reply", 0, any,
                    [](Settings& s, long long n) { s.scenario.delay = std::chrono::milliseconds(n); }),
        flag("--never-reply", "never reply", [](Settings& s) { s.scenario.neverReply = true; }),
        flag("--fail-500", "reply with status 500 and an HTML body", [](Settings& s) { s.scenario.error500 = true; }),
        flag("--drop-reply", "close the connection in the middle of every reply",
             [](Settings& s) { s.scenario.dropMidReply = true; }),
        wholeNumber("--reply-status", "CODE", "reply as usual, but with HTTP status CODE", 100, 599,
                    [](Settings& s, long long n) { s.scenario.replyStatus = static_cast<int>(n); }),
        wholeNumber("--redirect", "CODE",
                    "redirect with status CODE (301, 302, 303, 307, 308) to the same path\n"
                    "under /moved, which is served as without it (faults included)",
                    300, 399, [](Settings& s, long long n) { s.scenario.redirectStatus = static_cast<int>(n); }),
        text("--redirect-to", "URL", "redirect to URL instead (needs --redirect)",
             [](Settings& s, const std::string& v) { s.scenario.redirectTo = v; }),
        wholeNumber("--drip-ms", "N", "send every reply body in pieces, one every N ms", 0, any,
                    [](Settings& s, long long n) { s.scenario.dripEvery = std::chrono::milliseconds(n); }),
        wholeNumber(
            "--drip-bytes", "N", "the size of each piece (default " + std::to_string(defaults.scenario.dripBytes) + ")",
            0, any,
            [](Settings& s, long long n) { s.scenario.dripBytes = static_cast<std::size_t>(std::max(n, 1LL)); }),
        wholeNumber("--record-limit", "BYTES",
                    "keep at most this much of each request body in memory (default " +
                        std::to_string(defaults.options.bodyRecordLimit) + ")",
                    0, any, [](Settings& s, long long n) { s.options.bodyRecordLimit = static_cast<std::size_t>(n); }),
        flag("--quiet", "do not log requests", [](Settings& s) { s.quiet = true; }),
        flag("--help", "this text", [](Settings& s) { s.help = true; }),
    };
}

// The option named `arg`; -h, not listed, is short for --help.
const Option* findOption(const std::vector<Option>& table, std::string_view arg)
{
    const std::string_view name = arg == "-h" ? "--help" : arg;
    const auto it = std::find_if(table.begin(), table.end(), [name](const Option& o) { return o.name == name; });
    return it != table.end() ? &*it : nullptr;
}

// An option's name and value as its help line shows them.
std::string synopsis(const Option& option)
{
    return option.valueName.empty() ? option.name : option.name + " " + option.valueName;
}

std::string usage(const std::vector<Option>& table)
{
    std::string text = "Usage: murenta-sandbox [options]\n"
                       "Serves the school's local data service and the regional server on 127.0.0.1.\n\n";
    const std::string indent(kHelpColumn, ' ');
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::string& help = table[i].help;
        std::string line = "  " + synopsis(table[i]);
        while (i + 1 < table.size() && table[i + 1].help.empty()) {
            line += " " + synopsis(table[++i]);
        }
        line += line.size() + 2 > kHelpColumn ? "\n" + indent : std::string(kHelpColumn - line.size(), ' ');
        for (const char c : help) {
            line += c == '\n' ? "\n" + indent : std::string(1, c);
        }
        text += line + '\n';
    }
    return text;
}

int usageError(const std::string& message)
{
    std::cerr << "murenta-sandbox: " << message << "\n(see --help)\n";
    return 2;
}

// Why the arguments will not do; nothing when they will. Stops at --help.
std::optional<std::string> parse(int argc, char** argv, const std::vector<Option>& table, Settings& settings)
{
    for (int i = 1; i < argc && !settings.help; ++i) {
        const std::string arg = argv[i];
        const Option* option = findOption(table, arg);
        if (option && option->valueName.empty()) {
            option->apply(settings, {});
            continue;
        }
        // An unknown word takes the one after it as its value before it is refused.
        if (i + 1 >= argc) {
            return arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg;
        }
        const std::string value = argv[++i];
        if (!option) {
            return "unknown option " + arg;
        }
        if (auto error = option->apply(settings, value)) {
            return error;
        }
    }
    if (settings.help) {
        return std::nullopt;
    }
    if (settings.options.tlsCertFile.empty() != settings.options.tlsKeyFile.empty()) {
        return "--tls-cert and --tls-key go together";
    }
    if (!settings.scenario.redirectTo.empty() && settings.scenario.redirectStatus == 0) {
        return "--redirect-to needs --redirect";
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<Option> table = optionTable(Settings());
    Settings settings;
    if (const auto error = parse(argc, argv, table, settings)) {
        return usageError(*error);
    }
    if (settings.help) {
        std::cout << usage(table);
        return 0;
    }

    const sandbox::School school = settings.scenario.school;
    sandbox::Sandbox server(settings.options, std::move(settings.scenario));
    if (!settings.quiet) {
        server.setRequestObserver([](const sandbox::RecordedRequest& r, int status) {
            std::fprintf(stderr, "%s %s %s -> %d\n", r.side == sandbox::Side::Local ? "local " : "server",
                         r.method.c_str(), r.target.c_str(), status);
        });
    }
    // Every thread the servers start inherits the blocked signals, so that only sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    if (const auto error = server.start()) {
        std::cerr << "murenta-sandbox: " << *error << '\n';
        return 1;
    }
    std::cout << "local-service " << server.localUrl() << '\n'
              << "regional-server " << server.serverUrl() << '\n'
              << "token " << school.token << '\n'
              << "npsn " << school.npsn << '\n'
              << "user " << school.users.front().username << '\n'
              << std::flush;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
