// A folder of the test's own, gone afterwards, and what a file in it holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace scout::test {

struct Scratch {
    std::filesystem::path folder;
    Scratch() {
        folder = std::filesystem::temp_directory_path() /
                 ("scout-scratch-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    ~Scratch() { std::filesystem::remove_all(folder); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string Path(const char* name) const { return (folder / name).string(); }
};

inline std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace scout::test
