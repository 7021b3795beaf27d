// Runs every file of the third-party JSON corpora (tests/data, read in place) through
// both parse entry points.

#include "json/json.h"
#include "json/utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace json;

namespace {

const fs::path kTestData = fs::path(MTH_TEST_DATA_DIR);

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<fs::path> filesUnder(const fs::path& folder, const std::string& prefix = {})
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind(prefix, 0) == 0 && name.find("LICENSE") == std::string::npos &&
            entry.path().extension() != ".md" && entry.path().extension() != ".errorSpec") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Outcome {
    bool hasRoot;
    std::u16string errors;
};

// Parses the bytes through both entry points and expects them to agree.
Outcome parseBothWays(const fs::path& file)
{
    const std::string bytes = readBytes(file);
    const std::optional<JsonValue> direct = ParseJsonUtf8(bytes);
    const std::u16string directErrors = LastParseErrors();
    const std::optional<JsonValue> decoded = ParseJson(Utf8ToUtf16(bytes));
    const std::u16string errors = LastParseErrors();
    EXPECT_EQ(directErrors, errors) << file.filename();
    EXPECT_EQ(direct.has_value(), decoded.has_value()) << file.filename();
    if (direct && decoded) {
        EXPECT_TRUE(*direct == *decoded) << file.filename();
    }
    return {decoded.has_value(), errors};
}

const std::u16string kDuplicate = u"This key is already associated with an element of this collection: a\r\n";

// The accepted files that the lenient parser refuses by design, with the exact text each gives.
const std::map<std::string, std::u16string> kRefusedByDesign = {
    // The root must be an object or an array.
    {"y_string_space.json", u"Invalid JSON"},
    {"y_structure_lonely_false.json", u"Invalid JSON"},
    {"y_structure_lonely_int.json", u"Invalid JSON"},
    {"y_structure_lonely_negative_real.json", u"Invalid JSON"},
    {"y_structure_lonely_null.json", u"Invalid JSON"},
    {"y_structure_lonely_string.json", u"Invalid JSON"},
    {"y_structure_lonely_true.json", u"Invalid JSON"},
    {"y_structure_string_empty.json", u"Invalid JSON"},
    // Member names are unique.
    {"y_object_duplicated_key.json", kDuplicate},
    {"y_object_duplicated_key_and_value.json", kDuplicate},
    // Numbers beyond the 96-bit decimal.
    {"y_number.json", u"Overflow: ]\r\n"},
    {"y_number_real_exponent.json", u"Overflow: ]\r\n"},
    {"y_number_real_fraction_exponent.json", u"Overflow: ]\r\n"},
};

} // namespace

TEST(PeerCorpus, acceptedFiles_parseCleanUnlessRefusedByDesign)
{
    const std::vector<fs::path> files = filesUnder(kTestData / "JSONTestSuite", "y_");
    ASSERT_EQ(files.size(), 95u) << "test data missing at " << kTestData;
    std::size_t clean = 0;
    for (const fs::path& file : files) {
        const Outcome outcome = parseBothWays(file);
        const auto refused = kRefusedByDesign.find(file.filename().string());
        if (refused == kRefusedByDesign.end()) {
            EXPECT_TRUE(outcome.hasRoot) << file.filename();
            EXPECT_EQ(outcome.errors, u"") << file.filename();
            clean += outcome.errors.empty() ? 1 : 0;
        } else {
            EXPECT_EQ(outcome.errors, refused->second) << file.filename();
        }
    }
    EXPECT_EQ(clean, files.size() - kRefusedByDesign.size());
}

TEST(PeerCorpus, acceptedFiles_keepTheirValues)
{
    const auto root = [](const char* name) { return *ParseJsonUtf8(readBytes(kTestData / "JSONTestSuite" / name)); };
    EXPECT_EQ(root("y_string_null_escape.json").at(1).asString(), std::u16string(1, u'\0'));
    EXPECT_EQ(root("y_string_comments.json").at(1).asString(), u"a/*b*/c/*d//e");
    EXPECT_EQ(root("y_object_extreme_numbers.json")[u"min"].asNumber().toString(), u"-10000000000000000000000000000");
    EXPECT_TRUE(root("y_number_double_close_to_zero.json").at(1).asNumber().isZero());
    EXPECT_EQ(root("y_string_accepted_surrogate_pair.json").at(1).asString(), u"\U00010437");
}

TEST(PeerCorpus, everyOtherFile_terminatesWithoutCrash)
{
    std::size_t files = 0;
    std::size_t withRoot = 0;
    std::size_t clean = 0;
    for (const char* prefix : {"n_", "i_"}) {
        for (const fs::path& file : filesUnder(kTestData / "JSONTestSuite", prefix)) {
            const Outcome outcome = parseBothWays(file);
            ++files;
            withRoot += outcome.hasRoot ? 1 : 0;
            clean += outcome.hasRoot && outcome.errors.empty() ? 1 : 0;
        }
    }
    for (const fs::path& file : filesUnder(kTestData / "json5-tests")) {
        const Outcome outcome = parseBothWays(file);
        ++files;
        withRoot += outcome.hasRoot ? 1 : 0;
        clean += outcome.hasRoot && outcome.errors.empty() ? 1 : 0;
    }
    EXPECT_EQ(files, 188u + 35u + 113u);
    RecordProperty("files", static_cast<int>(files));
    RecordProperty("with_root", static_cast<int>(withRoot));
    RecordProperty("clean", static_cast<int>(clean));
    std::cout << files << " files: " << withRoot << " gave a root, " << clean << " of them without a recorded line\n";
}

TEST(PeerCorpus, realWorldDocuments_parseClean)
{
    const std::vector<fs::path> files = filesUnder(kTestData / "bench-json");
    ASSERT_EQ(files.size(), 3u);
    for (const fs::path& file : files) {
        const Outcome outcome = parseBothWays(file);
        EXPECT_TRUE(outcome.hasRoot) << file.filename();
        EXPECT_EQ(outcome.errors, u"") << file.filename();
    }
    const auto twitter = ParseJsonUtf8(readBytes(kTestData / "bench-json" / "twitter.json"));
    EXPECT_EQ((*twitter)[u"statuses"].count(), 100u);
    EXPECT_EQ((*twitter)[u"search_metadata"][u"max_id"].asNumber().toInt64(), 505874924095815700);
}
