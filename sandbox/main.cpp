// murenta-sandbox: both outside servers on loopback, for demos, operator training and trying the
// program by hand. Prints where it listens and the demo school's credentials, logs every request to
// stderr, and runs until interrupted.

#include "sandbox/sandbox.h"

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage = R"(Usage: murenta-sandbox [options]
Serves the school's local data service and the regional server on 127.0.0.1.

  --local-port P          local data service port (default 5774; 0 picks a free one)
  --server-port Q         regional server port (default 8080; 0 picks a free one)
  --tls-cert PEM --tls-key PEM
                          serve the regional server over HTTPS with this certificate and key
  --version V             the version the server announces (default 2.0)
  --endpoints LIST        the table names the server lists (default getSekolah,getSiswa,getGuru,getKelas)
  --sends-today N         complete sends already counted today (default 0)
  --refuse-login          refuse every login
  --fail-upload NAME      refuse the upload of table NAME
  --fail-process NAME     fail the processing of table NAME
  --rows NAME=N           serve table NAME with N generated rows
  --table NAME=FILE       serve table NAME as the contents of FILE
  --fault-path PREFIX     the faults below hit only paths starting with PREFIX (default: all)
  --delay-ms N            wait N ms before every reply
  --never-reply           never reply
  --fail-500              reply with status 500 and an HTML body
  --drop-reply            close the connection in the middle of every reply
  --reply-status CODE     reply as usual, but with HTTP status CODE
  --redirect CODE         redirect with status CODE (301, 302, 303, 307, 308) to the same path
                          under /moved, which is served as without it (faults included)
  --redirect-to URL       redirect to URL instead (needs --redirect)
  --drip-ms N             send every reply body in pieces, one every N ms
  --drip-bytes N          the size of each piece (default 1)
  --record-limit BYTES    keep at most this much of each request body in memory (default 65536)
  --quiet                 do not log requests
  --help                  this text
)";

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

int usageError(const std::string& message)
{
    std::cerr << "murenta-sandbox: " << message << "\n(see --help)\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    sandbox::Options options;
    options.localPort = 5774;
    options.serverPort = 8080;
    options.bodyRecordLimit = 65536;
    sandbox::Scenario scenario;
    bool quiet = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        long long number = 0;
        std::string name;
        std::string second;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--refuse-login") {
            scenario.refuseLogin = true;
        } else if (arg == "--never-reply") {
            scenario.neverReply = true;
        } else if (arg == "--fail-500") {
            scenario.error500 = true;
        } else if (arg == "--drop-reply") {
            scenario.dropMidReply = true;
        } else if (!value(text)) {
            return usageError(arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg);
        } else if (arg == "--local-port" || arg == "--server-port" || arg == "--sends-today" || arg == "--delay-ms" ||
                   arg == "--record-limit" || arg == "--reply-status" || arg == "--redirect" || arg == "--drip-ms" ||
                   arg == "--drip-bytes") {
            if (!toNumber(text, number) || ((arg == "--local-port" || arg == "--server-port") && number > 65535) ||
                (arg == "--reply-status" && (number < 100 || number > 599)) ||
                (arg == "--redirect" && (number < 300 || number > 399))) {
                return usageError(arg + " needs a whole number, not " + text);
            }
            if (arg == "--local-port") {
                options.localPort = static_cast<int>(number);
            } else if (arg == "--server-port") {
                options.serverPort = static_cast<int>(number);
            } else if (arg == "--sends-today") {
                scenario.sendsToday = static_cast<int>(number);
            } else if (arg == "--delay-ms") {
                scenario.delay = std::chrono::milliseconds(number);
            } else if (arg == "--reply-status") {
                scenario.replyStatus = static_cast<int>(number);
            } else if (arg == "--redirect") {
                scenario.redirectStatus = static_cast<int>(number);
            } else if (arg == "--drip-ms") {
                scenario.dripEvery = std::chrono::milliseconds(number);
            } else if (arg == "--drip-bytes") {
                scenario.dripBytes = static_cast<std::size_t>(std::max(number, 1LL));
            } else {
                options.bodyRecordLimit = static_cast<std::size_t>(number);
            }
        } else if (arg == "--tls-cert") {
            options.tlsCertFile = text;
        } else if (arg == "--tls-key") {
            options.tlsKeyFile = text;
        } else if (arg == "--version") {
            scenario.version = text;
        } else if (arg == "--endpoints") {
            scenario.endpoints = text;
        } else if (arg == "--fail-upload") {
            scenario.failUpload = text;
        } else if (arg == "--fail-process") {
            scenario.failProcess = text;
        } else if (arg == "--redirect-to") {
            scenario.redirectTo = text;
        } else if (arg == "--fault-path") {
            scenario.faultPath = text;
        } else if (arg == "--rows") {
            if (!splitPair(text, name, second) || !toNumber(second, number)) {
                return usageError("--rows needs NAME=N, not " + text);
            }
            scenario.setTable(name, sandbox::generateTable(name, static_cast<std::size_t>(number)));
        } else if (arg == "--table") {
            std::string contents;
            if (!splitPair(text, name, second)) {
                return usageError("--table needs NAME=FILE, not " + text);
            }
            if (!readFile(second, contents)) {
                return usageError("cannot read " + second);
            }
            scenario.setTable(name, std::move(contents));
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (options.tlsCertFile.empty() != options.tlsKeyFile.empty()) {
        return usageError("--tls-cert and --tls-key go together");
    }
    if (!scenario.redirectTo.empty() && scenario.redirectStatus == 0) {
        return usageError("--redirect-to needs --redirect");
    }

    const sandbox::School school = scenario.school;
    sandbox::Sandbox server(options, std::move(scenario));
    if (!quiet) {
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
