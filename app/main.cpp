#include "app/front_ends.h"
#include "client/client.h"
#include "platform/console.h"

#include <cstdio>

int main(int argc, char** argv)
{
    const app::ParsedOptions parsed = app::parseProgramOptions(platform::programArguments(argc, argv));
    const QString help = app::programHelp(QString::fromStdU16String(client::defaultServerBase()));
    if (parsed.options.console || parsed.options.help || parsed.options.history || !parsed.error.isEmpty()) {
        platform::attachParentConsole();
    }
    if (!parsed.error.isEmpty()) {
        platform::writeText(stderr, QString(parsed.error + QStringLiteral("\n\n") + help).toStdString());
        return app::kExitUsage;
    }
    if (parsed.options.help) {
        platform::writeText(stdout, help.toStdString());
        return 0;
    }
    if (parsed.options.history) {
        return app::runHistory(argc, argv, parsed.options);
    }
    return parsed.options.console ? app::runConsole(argc, argv, parsed.options)
                                  : app::runWindow(argc, argv, parsed.options);
}
