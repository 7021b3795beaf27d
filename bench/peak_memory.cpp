// Peak memory of one parse, measured in a process of its own: reads the file, parses it with the named
// parser, keeps the tree, and prints the peak resident set (getrusage) next to the resident set that the
// input bytes alone took.
//
//   json_peak_memory {utf8|decode|nlohmann|rapidjson} FILE

#include "bench_data.h"
#include "process_memory.h"

#include "json/json.h"
#include "json/utf8.h"

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s {utf8|decode|nlohmann|rapidjson} FILE\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string bytes = readFileBytes(argv[2]);
    const long withInput = currentKiB();
    bool ok = false;
    long holding = 0;
    if (mode == "utf8") {
        const auto root = json::ParseJsonUtf8(bytes);
        ok = root.has_value() && json::LastParseErrors().empty();
        holding = currentKiB();
    } else if (mode == "decode") {
        std::optional<json::JsonValue> root;
        {
            const std::u16string text = json::Utf8ToUtf16(bytes);
            root = json::ParseJson(text);
        }
        ok = root.has_value() && json::LastParseErrors().empty();
        holding = currentKiB();
    } else if (mode == "nlohmann") {
        const auto root = nlohmann::json::parse(bytes);
        ok = root.is_object();
        holding = currentKiB();
    } else if (mode == "rapidjson") {
        rapidjson::Document root;
        root.Parse(bytes.data(), bytes.size());
        ok = !root.HasParseError() && root.IsObject();
        holding = currentKiB();
    } else {
        std::fprintf(stderr, "unknown parser %s\n", argv[1]);
        return 2;
    }
    std::printf("%s bytes=%zu input_rss_kib=%ld tree_rss_kib=%ld peak_rss_kib=%ld peak_per_input_byte=%.2f\n",
                mode.c_str(), bytes.size(), withInput, holding, peakKiB(),
                static_cast<double>(peakKiB()) * 1024.0 / static_cast<double>(bytes.size()));
    return ok ? 0 : 1;
}
