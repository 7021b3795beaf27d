#include "app/program_options.h"

#include <gtest/gtest.h>

TEST(ProgramOptions, understandsEveryOptionInBothForms)
{
    const app::ParsedOptions parsed = app::parseProgramOptions(
        {QStringLiteral("--cli"), QStringLiteral("--server"), QStringLiteral("https://s.example"),
         QStringLiteral("--local=http://127.0.0.1:9"), QStringLiteral("--data-dir"), QStringLiteral("/tmp/d"),
         QStringLiteral("--ca-file=ca.pem"), QStringLiteral("--token"), QStringLiteral("t=1"), QStringLiteral("--npsn"),
         QStringLiteral(""), QStringLiteral("--user=u@x"), QStringLiteral("--log-file"), QStringLiteral("kirim.log")});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    const app::ProgramOptions& o = parsed.options;
    EXPECT_TRUE(o.console);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.server, QStringLiteral("https://s.example"));
    EXPECT_EQ(o.local, QStringLiteral("http://127.0.0.1:9"));
    EXPECT_EQ(o.dataDir, QStringLiteral("/tmp/d"));
    EXPECT_EQ(o.caFile, QStringLiteral("ca.pem"));
    EXPECT_EQ(o.token, QStringLiteral("t=1"));
    EXPECT_EQ(o.npsn, QString()); // given, and empty
    EXPECT_EQ(o.user, QStringLiteral("u@x"));
    EXPECT_EQ(o.logFile, QStringLiteral("kirim.log"));
}

TEST(ProgramOptions, withoutArguments_theWindowUsesItsDefaults)
{
    const app::ParsedOptions parsed = app::parseProgramOptions({});
    EXPECT_TRUE(parsed.error.isEmpty());
    EXPECT_FALSE(parsed.options.console);
    EXPECT_FALSE(parsed.options.token.has_value());
    EXPECT_TRUE(parsed.options.server.isEmpty());
}

TEST(ProgramOptions, mistakes_areExplainedInIndonesian)
{
    struct Case {
        QStringList arguments;
        QString error;
    };
    const Case cases[] = {
        {{QStringLiteral("--verbose")}, QStringLiteral("Opsi tidak dikenal: --verbose")},
        {{QStringLiteral("--server")}, QStringLiteral("Opsi --server memerlukan nilai.")},
        {{QStringLiteral("--cli=yes")}, QStringLiteral("Opsi tidak dikenal: --cli=yes")},
        {{QStringLiteral("extra")}, QStringLiteral("Opsi tidak dikenal: extra")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::parseProgramOptions(c.arguments).error, c.error) << c.arguments.join(u' ').toStdString();
    }
    EXPECT_TRUE(app::parseProgramOptions({QStringLiteral("-h")}).options.help);
    EXPECT_TRUE(app::programHelp(QStringLiteral("https://x")).contains(QStringLiteral("--ca-file")));
}

TEST(ProgramOptions, help_explainsSchedulingAndEveryExitStatus)
{
    const QString help = app::programHelp(QStringLiteral("https://x"));
    for (const char* expected : {"--log-file FILE", "0 14 * * * ", "schtasks /Create", "--cli --log-file"}) {
        EXPECT_TRUE(help.contains(QLatin1StringView(expected))) << expected;
    }
    for (int status = 0; status <= 5; ++status) {
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1  ").arg(status))) << status;
    }
}
