#pragma once
// Builders of STL file contents for the suites: binary records and ASCII text, plus a scratch
// directory that removes itself and the message of a refused input.
#include "apps/InputError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

struct StlTriangle {
    std::array<float, 3> normal;
    std::array<std::array<float, 3>, 3> corners;
};

inline std::vector<uint8_t> MakeBinaryStl(const std::vector<StlTriangle>& triangles,
                                          const std::string& header = "", int64_t count_override = -1) {
    std::vector<uint8_t> bytes(84, 0);
    std::memcpy(bytes.data(), header.data(), std::min<size_t>(header.size(), 80));
    const uint32_t count = count_override >= 0 ? uint32_t(count_override) : uint32_t(triangles.size());
    std::memcpy(bytes.data() + 80, &count, 4);
    for (const StlTriangle& triangle : triangles) {
        uint8_t record[50] = {};
        std::memcpy(record, triangle.normal.data(), 12);
        for (int corner = 0; corner < 3; ++corner)
            std::memcpy(record + 12 + 12 * corner, triangle.corners[corner].data(), 12);
        bytes.insert(bytes.end(), record, record + 50);
    }
    return bytes;
}

inline std::string MakeAsciiStl(const std::vector<StlTriangle>& triangles) {
    std::string text = "solid test\n";
    for (const StlTriangle& triangle : triangles) {
        text += "  facet normal " + std::to_string(triangle.normal[0]) + " " +
                std::to_string(triangle.normal[1]) + " " + std::to_string(triangle.normal[2]) +
                "\n    outer loop\n";
        for (const auto& corner : triangle.corners)
            text += "      vertex " + std::to_string(corner[0]) + " " + std::to_string(corner[1]) + " " +
                    std::to_string(corner[2]) + "\n";
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid test\n";
}

// Two triangles of a unit square in the z = 0 plane, facing +z, sharing an edge.
inline std::vector<StlTriangle> UnitSquare() {
    return {{{0, 0, 1}, {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}},
            {{0, 0, 1}, {{{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}}}};
}

// The message of the InputError that `read` throws; fails the test when it throws none.
template <class Read> inline std::string ErrorOf(Read read) {
    try {
        read();
    } catch (const InputError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no InputError thrown";
    return {};
}

// Sets VANTREL_THREADS for the lifetime of the object.
class ThreadCount {
public:
    explicit ThreadCount(int count) { ::setenv("VANTREL_THREADS", std::to_string(count).c_str(), 1); }
    ~ThreadCount() { ::unsetenv("VANTREL_THREADS"); }
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-apps-XXXXXX").string();
        mo_path = ::mkdtemp(pattern.data());
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::remove_all(mo_path, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string Path(const std::string& name) const { return (mo_path / name).string(); }

    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return Path(name);
    }
    // Names of the files the directory holds, sorted.
    std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(mo_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path mo_path;
};
