#include "app/front_ends.h"
#include "client/http_exchange.h"

#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const app::ParsedOptions parsed = app::parseProgramOptions(arguments);
    const QString help = app::programHelp(QString::fromStdU16String(client::defaultServerBase()));
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "%s\n\n%s", parsed.error.toLocal8Bit().constData(), help.toLocal8Bit().constData());
        return app::kExitUsage;
    }
    if (parsed.options.help) {
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return 0;
    }
    return parsed.options.console ? app::runConsole(argc, argv, parsed.options)
                                  : app::runWindow(argc, argv, parsed.options);
}
