#include "apps/StlReader.h"

#include "apps/InputError.h"

#include <bit>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr size_t BINARY_HEADER_SIZE = 84;
constexpr size_t BINARY_RECORD_SIZE = 50;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    for (;;) {
        const size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.insert(bytes.end(), buffer, buffer + count);
        if (count < sizeof buffer) {
            if (std::ferror(file.get()))
                throw InputError(path + ": cannot read: " + std::strerror(errno));
            break;
        }
    }
    return bytes;
}

struct PointHash {
    size_t operator()(const std::array<double, 3>& point) const {
        uint64_t hash = std::bit_cast<uint64_t>(point[0]);
        hash = hash * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint64_t>(point[1]);
        hash = hash * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint64_t>(point[2]);
        return size_t(hash ^ (hash >> 29));
    }
};

// Collects triangles, welding corners with identical integer coordinates.
class MeshCollector {
public:
    void Add(const std::array<std::array<double, 3>, 3>& corners, const std::array<double, 3>& normal) {
        std::array<uint32_t, 3> indices{};
        for (int i = 0; i < 3; ++i) {
            const auto [found, inserted] = mo_index.try_emplace(corners[i], uint32_t(mo_mesh.points.size()));
            if (inserted)
                mo_mesh.points.push_back(corners[i]);
            indices[i] = found->second;
        }
        // A triangle with two welded corners has no area and no facet normal; it is left out.
        if (indices[0] == indices[1] || indices[1] == indices[2] || indices[0] == indices[2]) {
            ++mo_mesh.degenerate;
            return;
        }
        mo_mesh.triangles.push_back(indices);
        mo_mesh.normals.push_back(UnitOrZero(normal));
    }

    StlMesh Finish(const std::string& name, size_t declared) {
        if (mo_mesh.triangles.empty()) {
            if (declared == 0)
                throw InputError(name + ": the file holds no triangles");
            throw InputError(name + ": all " + std::to_string(declared) +
                             " triangles are degenerate (corners coincide in internal units)");
        }
        return std::move(mo_mesh);
    }

private:
    static std::array<float, 3> UnitOrZero(const std::array<double, 3>& normal) {
        const double length =
            std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        if (!std::isfinite(length) || length < 1e-12)
            return {0.0f, 0.0f, 0.0f};
        return {float(normal[0] / length), float(normal[1] / length), float(normal[2] / length)};
    }

    StlMesh mo_mesh;
    std::unordered_map<std::array<double, 3>, uint32_t, PointHash> mo_index;
};

// `where` is "name:line" or "name: triangle n"; the message goes after it. Returns finite values.
double CheckFinite(double value, const std::string& where) {
    if (std::isnan(value))
        throw InputError(where + ": coordinate is NaN");
    if (std::isinf(value))
        throw InputError(where + ": coordinate is infinite");
    return value;
}

bool LooksLikeText(std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes)
        if (byte == 0 || byte >= 0x80 ||
            (byte < 0x20 && byte != '\n' && byte != '\r' && byte != '\t' && byte != '\f' && byte != '\v'))
            return false;
    return true;
}

bool StartsWithSolid(std::span<const uint8_t> bytes) {
    size_t start = 0;
    while (start < bytes.size() &&
           (bytes[start] == ' ' || bytes[start] == '\t' || bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    static constexpr std::string_view SOLID = "solid";
    if (bytes.size() - start < SOLID.size())
        return false;
    return std::string_view(reinterpret_cast<const char*>(bytes.data()) + start, SOLID.size()) == SOLID;
}

float ReadFloat(const uint8_t* data) {
    // STL is little-endian, as is every platform this builds on.
    static_assert(std::endian::native == std::endian::little);
    float value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// Whitespace-separated words of an ASCII STL with the line each starts on.
class Tokenizer {
public:
    Tokenizer(std::span<const uint8_t> bytes, const std::string& name)
        : mo_text(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mo_name(name) {}

    // The next word, or an empty view at the end of the text.
    std::string_view Next() {
        _SkipSpace();
        const size_t start = mn_position;
        while (mn_position < mo_text.size() && !IsSpace(mo_text[mn_position]))
            ++mn_position;
        // At the end of the text, errors point at the last word's line rather than past it.
        if (mn_position > start)
            mn_token_line = mn_line;
        return mo_text.substr(start, mn_position - start);
    }

    // Skips the rest of the current line (a solid's name).
    void SkipLine() {
        while (mn_position < mo_text.size() && mo_text[mn_position] != '\n')
            ++mn_position;
    }

    void Expect(std::string_view word) {
        const std::string_view found = Next();
        if (found != word)
            Fail("expected '" + std::string(word) + "', found " + Describe(found));
    }

    double Number() {
        const std::string_view found = Next();
        double value = 0.0;
        const char* first = found.data();
        const char* last = found.data() + found.size();
        // from_chars takes no leading '+', which some exporters write.
        if (first != last && *first == '+')
            ++first;
        const auto [end, error] = std::from_chars(first, last, value);
        if (found.empty() || end != last || (error != std::errc() && error != std::errc::result_out_of_range))
            Fail("expected a number, found " + Describe(found));
        if (error == std::errc::result_out_of_range) {
            // Beyond double range: a negative exponent means a value as good as zero, otherwise one
            // far too large for internal units (reported as an overflow, not as infinite).
            const size_t exponent = found.find_first_of("eE");
            const bool tiny = exponent != std::string_view::npos && exponent + 1 < found.size() &&
                              found[exponent + 1] == '-';
            const bool negative = found.front() == '-';
            value = tiny ? 0.0 : (negative ? -DBL_MAX : DBL_MAX);
        }
        return value;
    }

    [[noreturn]] void Fail(const std::string& message) const {
        throw InputError(mo_name + ":" + std::to_string(mn_token_line) + ": " + message);
    }

    std::string Where() const { return mo_name + ":" + std::to_string(mn_token_line); }

    static std::string Describe(std::string_view word) {
        if (word.empty())
            return "end of file";
        constexpr size_t MAX = 24;
        return "'" + std::string(word.substr(0, MAX)) + (word.size() > MAX ? "...'" : "'");
    }

private:
    static bool IsSpace(char character) {
        return character == ' ' || character == '\t' || character == '\n' || character == '\r' ||
               character == '\f' || character == '\v';
    }

    void _SkipSpace() {
        while (mn_position < mo_text.size() && IsSpace(mo_text[mn_position])) {
            if (mo_text[mn_position] == '\n')
                ++mn_line;
            ++mn_position;
        }
    }

    std::string_view mo_text;
    const std::string& mo_name;
    size_t mn_position = 0;
    size_t mn_line = 1;
    size_t mn_token_line = 1;
};

} // namespace

StlMesh StlReader::ReadFile(const std::string& path) const {
    return ReadMemory(ReadWholeFile(path), path);
}

StlMesh StlReader::ReadMemory(std::span<const uint8_t> bytes, const std::string& name) const {
    if (bytes.empty())
        throw InputError(name + ": the file is empty");
    if (bytes.size() >= BINARY_HEADER_SIZE) {
        uint32_t count = 0;
        std::memcpy(&count, bytes.data() + 80, sizeof count);
        // 84 + 50 n cannot overflow 64 bits for a 32-bit n.
        if (BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * uint64_t(count) == bytes.size())
            return _ReadBinary(bytes, name);
    }
    // Some editors save text with a UTF-8 byte order mark in front.
    std::span<const uint8_t> text = bytes;
    if (text.size() >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF)
        text = text.subspan(3);
    if (StartsWithSolid(text) && LooksLikeText(text))
        return _ReadAscii(text, name);
    return _ReadBinary(bytes, name);
}

StlMesh StlReader::_ReadBinary(std::span<const uint8_t> bytes, const std::string& name) const {
    if (bytes.size() < BINARY_HEADER_SIZE)
        throw InputError(name + ": truncated binary STL: " + std::to_string(bytes.size()) +
                         " bytes, shorter than the 84-byte header");
    uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 80, sizeof count);
    const uint64_t expected = BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * uint64_t(count);
    if (expected > bytes.size())
        throw InputError(name + ": truncated binary STL: the header announces " + std::to_string(count) +
                         " triangles (" + std::to_string(expected) + " bytes) but the file has " +
                         std::to_string(bytes.size()) + " bytes");
    if (expected < bytes.size())
        throw InputError(name + ": binary STL triangle count " + std::to_string(count) +
                         " disagrees with the file size: " + std::to_string(expected) + " bytes expected, " +
                         std::to_string(bytes.size()) + " found");
    MeshCollector collector;
    for (uint32_t triangle = 0; triangle < count; ++triangle) {
        const uint8_t* record = bytes.data() + BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * size_t(triangle);
        const std::array<double, 3> normal{ReadFloat(record), ReadFloat(record + 4), ReadFloat(record + 8)};
        std::array<std::array<double, 3>, 3> corners{};
        for (int corner = 0; corner < 3; ++corner)
            for (int axis = 0; axis < 3; ++axis) {
                const double value = ReadFloat(record + 12 + 12 * corner + 4 * axis);
                corners[corner][axis] =
                    std::isfinite(value)
                        ? value + 0.0
                        : CheckFinite(value, name + ": triangle " + std::to_string(triangle + 1));
            }
        collector.Add(corners, normal);
    }
    return collector.Finish(name, count);
}

StlMesh StlReader::_ReadAscii(std::span<const uint8_t> bytes, const std::string& name) const {
    Tokenizer tokens(bytes, name);
    MeshCollector collector;
    size_t declared = 0;
    std::string_view word = tokens.Next();
    if (word != "solid")
        tokens.Fail("expected 'solid', found " + Tokenizer::Describe(word));
    tokens.SkipLine();
    for (;;) {
        word = tokens.Next();
        if (word == "endsolid") {
            tokens.SkipLine();
            // Some exporters put several solids in one file; they all become one mesh.
            word = tokens.Next();
            if (word.empty())
                break;
            if (word != "solid")
                tokens.Fail("expected 'solid' or end of file after 'endsolid', found " +
                            Tokenizer::Describe(word));
            tokens.SkipLine();
            continue;
        }
        if (word != "facet")
            tokens.Fail("expected 'facet' or 'endsolid', found " + Tokenizer::Describe(word));
        tokens.Expect("normal");
        std::array<double, 3> normal{};
        for (double& component : normal)
            component = tokens.Number();
        tokens.Expect("outer");
        tokens.Expect("loop");
        std::array<std::array<double, 3>, 3> corners{};
        for (auto& corner : corners) {
            tokens.Expect("vertex");
            for (double& coordinate : corner) {
                const double value = tokens.Number();
                coordinate = std::isfinite(value) ? value + 0.0 : CheckFinite(value, tokens.Where());
            }
        }
        tokens.Expect("endloop");
        tokens.Expect("endfacet");
        ++declared;
        collector.Add(corners, normal);
    }
    return collector.Finish(name, declared);
}
