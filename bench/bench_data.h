#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The benchmark inputs: the real-world documents of tests/data/bench-json and the generated table
// replies (python3 tools/gen_table.py DIR).
struct BenchInput {
    std::string name;
    std::filesystem::path path;
};

std::vector<BenchInput> benchInputs(const std::filesystem::path& tableDir);
std::string readFileBytes(const std::filesystem::path& path);
