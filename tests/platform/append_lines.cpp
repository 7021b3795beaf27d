// Appends numbered lines to a file as a run appends to its log, for the test of runs that share a file.
// Usage: append_lines FILE TAG COUNT. Once the file is open it prints "ready" and waits for a line on
// standard input, so that the test can have several of these open the file before any of them writes.

#include "platform/direct_file.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        return 2;
    }
    platform::DirectFile file;
    if (!file.open(QString::fromLocal8Bit(argv[1]), platform::DirectFile::OpenMode::Append)) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    char go[8];
    if (std::fgets(go, sizeof go, stdin) == nullptr) {
        return 1;
    }
    const std::string tag = argv[2];
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        if (!file.write(tag + ' ' + std::to_string(i) + ' ' + std::string(60, '.') + "\r\n")) {
            return 1;
        }
    }
    return file.close() ? 0 : 1;
}
