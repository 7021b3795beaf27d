#include "workflow/credentials_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "owner_only.h"

using workflow::Credentials;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// A file of credentials that fills `size` bytes with blanks after its line.
QByteArray paddedTo(qsizetype size)
{
    const QByteArray line = "{\"token\":\"t\",\"npsn\":\"n\",\"email\":\"e\"}\r\n";
    return line + QByteArray(size - line.size(), ' ');
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(CredentialsFile, ordinaryValues_giveTheExactOneLineLayout)
{
    const Credentials c{u"abc123", u"20500123", u"operator@smpn1.sch.id"};
    EXPECT_EQ(workflow::formatCredentialsLine(c),
              "{\"token\":\"abc123\",\"npsn\":\"20500123\",\"email\":\"operator@smpn1.sch.id\"}\r\n");
    EXPECT_EQ(workflow::formatCredentialsLine({}), "{\"token\":\"\",\"npsn\":\"\",\"email\":\"\"}\r\n");
}

TEST(CredentialsFile, everyValue_roundTripsThroughTheFile)
{
    QTemporaryDir dir;
    const QString path = workflow::credentialsFilePath(dir.path());
    const Credentials cases[] = {
        {u"plain", u"20500123", u"ops@sekolah.id"},
        {u"with \"quotes\"", u"back\\slash\\", u"trailing\\"},
        {u"\",\"npsn\":\"injected", u"line\r\nbreak\ttab", std::u16string(u"nul\0x", 5)},
        {u"caf\u00e9 \u4e00 \U0001F600", u"  spaced  ", u""},
        {u"\\u0041 stays as typed", u"/", u"\\\""},
    };
    for (const Credentials& c : cases) {
        ASSERT_TRUE(workflow::writeCredentialsFile(path, c));
        EXPECT_EQ(workflow::readCredentialsFile(path), c);
    }
}

TEST(CredentialsFile, savedFile_isUtf8AndReadableByOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = workflow::credentialsFilePath(dir.path());
    ASSERT_TRUE(workflow::writeCredentialsFile(path, {u"t\u00e9", u"1", u"e"}));
    EXPECT_EQ(readAll(path), QByteArray("{\"token\":\"t\xC3\xA9\",\"npsn\":\"1\",\"email\":\"e\"}\r\n"));
    if (!testing_support::accessListsKept()) {
        GTEST_SKIP() << "Wine keeps no access lists on files";
    }
    EXPECT_TRUE(testing_support::isOwnerOnly(path));
}

TEST(CredentialsFile, folderThatCannotHoldIt_failsToWrite)
{
    QTemporaryDir dir;
    EXPECT_FALSE(workflow::writeCredentialsFile(dir.filePath(QStringLiteral("missing/data.json")), {}));
    writeBytes(dir.filePath(QStringLiteral("plain-file")), "x");
    EXPECT_FALSE(workflow::writeCredentialsFile(dir.filePath(QStringLiteral("plain-file/data.json")), {}));
}

TEST(CredentialsFile, writeRefused_keepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = workflow::credentialsFilePath(dir.path());
    ASSERT_TRUE(workflow::writeCredentialsFile(path, {u"old", u"1", u"e"}));
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool folderStillWritable = QFileInfo(dir.path()).isWritable();
    const bool written = workflow::writeCredentialsFile(path, {u"new", u"2", u"f"});
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (folderStillWritable) {
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(workflow::readCredentialsFile(path), (Credentials{u"old", u"1", u"e"}));
}

TEST(CredentialsFile, readingOtherLayouts_findsEachMemberOnItsOwn)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        Credentials expected;
    };
    const Case cases[] = {
        {"members reordered, extra member",
         "{\"email\":\"e\",\"x\":\"y\",\"npsn\":\"n\",\"token\":\"t\"}\r\n",
         {u"t", u"n", u"e"}},
        {"first occurrence counts",
         "{\"token\":\"a\",\"token\":\"b\",\"npsn\":\"n\",\"email\":\"e\"}",
         {u"a", u"n", u"e"}},
        {"blank after colon", "{\"token\": \"t\",\"npsn\":\"n\",\"email\":\"e\"}", {u"t", u"n", u"e"}},
        {"written by hand with blanks",
         "{\"token\": \"T\", \"npsn\": \"1\", \"email\": \"op@x\"}",
         {u"T", u"1", u"op@x"}},
        {"one member per line",
         "{\r\n\"token\":\"t\",\r\n\"npsn\":\"n\",\r\n\"email\":\"e\"\r\n}\r\n",
         {u"t", u"n", u"e"}},
        {"blanks and escapes, Latin-1 bytes",
         "{ \"token\" : \"a\\\"b\\u00e9\", \"npsn\" :\"caf\xE9\",\n \"email\": \"e\" }",
         {u"a\"b\u00e9", u"caf\u00e9", u"e"}},
        {"a member that is no string stays empty", "{\"token\": 5, \"npsn\": null, \"email\": [\"e\"]}", {}},
        {"the line's value wins over the parsed one",
         "{\"token\":\"C:\\data\", \"npsn\": \"n\"}",
         {u"C:\\data", u"n", u""}},
        {"names in other capitals", "{\"Token\":\"t\",\"NPSN\":\"n\",\"email\":\"e\"}", {u"", u"", u"e"}},
        {"never closed: the parser keeps what it read",
         "{\"token\":\"t\",\"npsn\":\"n\",\"email\":\"e",
         {u"t", u"n", u"e"}},
        {"no line end", "{\"token\":\"t\",\"npsn\":\"n\",\"email\":\"e\"}", {u"t", u"n", u"e"}},
        {"unknown escape keeps its backslash",
         "{\"token\":\"C:\\data\",\"npsn\":\"\\u00e9\",\"email\":\"e\"}",
         {u"C:\\data", u"\u00e9", u"e"}},
        {"Latin-1 bytes of an older file",
         "{\"token\":\"caf\xE9\",\"npsn\":\"n\",\"email\":\"e\"}\r\n",
         {u"caf\u00e9", u"n", u"e"}},
        {"empty file", "", {}},
        {"not JSON at all", "\x00\x01garbage", {}},
        {"exactly as large as may be read", paddedTo(workflow::kCredentialsFileLimit), {u"t", u"n", u"e"}},
        {"one byte larger", paddedTo(workflow::kCredentialsFileLimit + 1), {}},
    };
    QTemporaryDir dir;
    const QString path = workflow::credentialsFilePath(dir.path());
    for (const Case& c : cases) {
        writeBytes(path, c.bytes);
        EXPECT_EQ(workflow::readCredentialsFile(path), c.expected) << c.name;
    }
}

TEST(CredentialsFile, missingFileOrFolderInItsPlace_giveNothingToLoad)
{
    QTemporaryDir dir;
    EXPECT_FALSE(workflow::readCredentialsFile(workflow::credentialsFilePath(dir.path())).has_value());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("data.json")));
    EXPECT_FALSE(workflow::readCredentialsFile(workflow::credentialsFilePath(dir.path())).has_value());
}
