// Throughput of the JSON support against two DOM parsers on the same bytes: nlohmann::json, a typical
// one, and RapidJSON, a fast one. Every parse figure counts the UTF-8 bytes of the input and includes
// freeing the tree. Run with --data=DIR (the generated tables).

#include "bench_data.h"

#include "json/json.h"
#include "json/string_builder.h"
#include "json/utf8.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

namespace {

void countBytes(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// UTF-8 bytes to a parsed tree through the UTF-16 entry point: decode, then ParseJson.
void decodeThenParseJson(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        const std::u16string text = json::Utf8ToUtf16(bytes);
        auto root = json::ParseJson(text);
        benchmark::DoNotOptimize(root);
    }
    countBytes(state, bytes.size());
}

// UTF-8 bytes to a parsed tree, decoded while parsed.
void parseJsonUtf8(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        auto root = json::ParseJsonUtf8(bytes);
        benchmark::DoNotOptimize(root);
    }
    countBytes(state, bytes.size());
}

// ParseJson alone, on text decoded beforehand.
void parseJsonUtf16(benchmark::State& state, const std::string& bytes)
{
    const std::u16string text = json::Utf8ToUtf16(bytes);
    for (auto _ : state) {
        auto root = json::ParseJson(text);
        benchmark::DoNotOptimize(root);
    }
    countBytes(state, bytes.size());
}

void utf8ToUtf16(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        std::u16string text = json::Utf8ToUtf16(bytes);
        benchmark::DoNotOptimize(text);
    }
    countBytes(state, bytes.size());
}

void nlohmannParse(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        auto root = nlohmann::json::parse(bytes);
        benchmark::DoNotOptimize(root);
    }
    countBytes(state, bytes.size());
}

void rapidJsonParse(benchmark::State& state, const std::string& bytes)
{
    for (auto _ : state) {
        rapidjson::Document root;
        root.Parse(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(root);
    }
    countBytes(state, bytes.size());
}

// Parse, then free, timed apart: the benchmark's time is the freeing alone; the counters give both and
// their ratio.
template <class Parse>
void timeFreeing(benchmark::State& state, Parse&& parse)
{
    using Clock = std::chrono::steady_clock;
    double parseSeconds = 0;
    double freeSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto tree = parse();
        benchmark::DoNotOptimize(tree);
        const auto parsed = Clock::now();
        tree.reset();
        const auto freed = Clock::now();
        const double freeing = std::chrono::duration<double>(freed - parsed).count();
        parseSeconds += std::chrono::duration<double>(parsed - start).count();
        freeSeconds += freeing;
        state.SetIterationTime(freeing);
    }
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["parse_s"] = benchmark::Counter(parseSeconds, perIteration);
    state.counters["free_s"] = benchmark::Counter(freeSeconds, perIteration);
    state.counters["free_to_parse"] = freeSeconds / parseSeconds;
}

void freeParseJsonUtf8(benchmark::State& state, const std::string& bytes)
{
    timeFreeing(state, [&] { return std::make_unique<std::optional<json::JsonValue>>(json::ParseJsonUtf8(bytes)); });
}

void freeRapidJson(benchmark::State& state, const std::string& bytes)
{
    timeFreeing(state, [&] {
        auto root = std::make_unique<rapidjson::Document>();
        root->Parse(bytes.data(), bytes.size());
        return root;
    });
}

// The quick field extraction against a plain search for the same pattern over the same text.
void getJsonField(benchmark::State& state, const std::u16string& text)
{
    for (auto _ : state) {
        std::u16string value = json::GetJsonField(text, u"msg");
        benchmark::DoNotOptimize(value);
    }
    countBytes(state, text.size() * 2);
}

void viewFind(benchmark::State& state, const std::u16string& text)
{
    const std::u16string_view view(text);
    for (auto _ : state) {
        std::size_t at = view.find(u"\"msg\":\"");
        benchmark::DoNotOptimize(at);
    }
    countBytes(state, text.size() * 2);
}

constexpr int kAppends = 10'000'000;

void BM_StringBuilderAppend(benchmark::State& state)
{
    for (auto _ : state) {
        json::cStringBuilder builder;
        for (int i = 0; i < kAppends; ++i) {
            const char16_t c = static_cast<char16_t>(u'a' + (i & 15));
            builder.Append(std::u16string_view(&c, 1));
        }
        benchmark::DoNotOptimize(builder.Length());
    }
}
BENCHMARK(BM_StringBuilderAppend)->Unit(benchmark::kMillisecond);

void BM_U16StringPushBack(benchmark::State& state)
{
    for (auto _ : state) {
        std::u16string text;
        for (int i = 0; i < kAppends; ++i) {
            text.push_back(static_cast<char16_t>(u'a' + (i & 15)));
        }
        benchmark::DoNotOptimize(text.size());
    }
}
BENCHMARK(BM_U16StringPushBack)->Unit(benchmark::kMillisecond);

std::string dataDirFrom(int& argc, char** argv)
{
    std::string dir = "bench-data";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--data=", 7) == 0) {
            dir = argv[i] + 7;
            std::memmove(argv + i, argv + i + 1, static_cast<std::size_t>(argc - i) * sizeof(char*));
            --argc;
            break;
        }
    }
    return dir;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string dataDir = dataDirFrom(argc, argv);
    std::vector<std::unique_ptr<std::string>> inputs;
    std::vector<std::unique_ptr<std::u16string>> texts;
    for (const BenchInput& input : benchInputs(dataDir)) {
        inputs.push_back(std::make_unique<std::string>(readFileBytes(input.path)));
        const std::string& bytes = *inputs.back();
        if (!json::ParseJsonUtf8(bytes) || !json::LastParseErrors().empty()) {
            std::cerr << input.name << " does not parse clean; its figures would mean nothing\n";
            return 1;
        }
        const std::string& n = input.name;
        benchmark::RegisterBenchmark(("ParseJsonUtf8/" + n).c_str(), parseJsonUtf8, std::cref(bytes));
        benchmark::RegisterBenchmark(("DecodeThenParseJson/" + n).c_str(), decodeThenParseJson, std::cref(bytes));
        benchmark::RegisterBenchmark(("ParseJsonOnUtf16/" + n).c_str(), parseJsonUtf16, std::cref(bytes));
        benchmark::RegisterBenchmark(("Utf8ToUtf16/" + n).c_str(), utf8ToUtf16, std::cref(bytes));
        benchmark::RegisterBenchmark(("Nlohmann/" + n).c_str(), nlohmannParse, std::cref(bytes));
        benchmark::RegisterBenchmark(("RapidJson/" + n).c_str(), rapidJsonParse, std::cref(bytes));
        if (n.rfind("table_", 0) == 0) {
            benchmark::RegisterBenchmark(("FreeParseJsonUtf8/" + n).c_str(), freeParseJsonUtf8, std::cref(bytes))
                ->UseManualTime();
            benchmark::RegisterBenchmark(("FreeRapidJson/" + n).c_str(), freeRapidJson, std::cref(bytes))
                ->UseManualTime();
        }
        if (n.rfind("table_10MB", 0) == 0) {
            texts.push_back(std::make_unique<std::u16string>(json::Utf8ToUtf16(bytes)));
            benchmark::RegisterBenchmark(("GetJsonField/" + n).c_str(), getJsonField, std::cref(*texts.back()));
            benchmark::RegisterBenchmark(("ViewFind/" + n).c_str(), viewFind, std::cref(*texts.back()));
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
