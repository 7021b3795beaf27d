#include "bench_data.h"

#include <fstream>
#include <sstream>

std::vector<BenchInput> benchInputs(const std::filesystem::path& tableDir)
{
    const std::filesystem::path documents = std::filesystem::path(MTH_TEST_DATA_DIR) / "bench-json";
    std::vector<BenchInput> inputs;
    for (const char* name : {"canada", "citm_catalog", "twitter"}) {
        inputs.push_back({name, documents / (std::string(name) + ".json")});
    }
    for (const char* name : {"table_10MB_pretty", "table_10MB_compact", "table_100MB_pretty", "table_100MB_compact"}) {
        const std::filesystem::path path = tableDir / (std::string(name) + ".json");
        if (std::filesystem::exists(path)) {
            inputs.push_back({name, path});
        }
    }
    return inputs;
}

std::string readFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
