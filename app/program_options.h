#pragma once

// The command line of both front ends.

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>

namespace app {

struct ProgramOptions {
    bool console = false; // --cli
    bool help = false;    // -h, --help
    bool history = false; // --history [N]: print the newest N runs kept, contact no server
    std::size_t historyCount = 10;
    QString server;     // --server URL; empty: the built-in address
    QString local;      // --local URL; empty: http://127.0.0.1:5774
    QString dataDir;    // --data-dir DIR; empty: platform::dataDirectory()
    QString caFile;     // --ca-file PEM
    QString logFile;    // --log-file FILE; empty: none
    int retry = 0;      // --retry N: more attempts of the startup check when it cannot connect
    QStringList tables; // --tables A,B: send only these tables; empty: every table
    // --token, --npsn, --user: each replaces that credential of the file.
    std::optional<QString> token;
    std::optional<QString> npsn;
    std::optional<QString> user;
};

struct ParsedOptions {
    ProgramOptions options;
    QString error; // empty when the command line was understood; otherwise why not, in Indonesian
};

// Reads the arguments after the program name, as UTF-8; "--name value" and "--name=value" both work.
// --history takes the argument after it as its count only when that is a whole number.
// A value that is not UTF-8 text, and a user name or password in an address, are refused.
ParsedOptions parseProgramOptions(const QByteArrayList& arguments);
// The help text, in Indonesian (the operators' language), for --help.
QString programHelp(const QString& defaultServer);

} // namespace app
