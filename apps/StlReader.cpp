#include "apps/StlReader.h"

#include "apps/InputError.h"
#include "apps/LargeBuffers.h"
#include "apps/MeshWelder.h"

#include <atomic>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr size_t BINARY_HEADER_SIZE = 84;
constexpr size_t BINARY_RECORD_SIZE = 50;

std::string FormatValue(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// `where` names the place ("name:line:column" or "name: triangle n"). Returns the value, +0 for -0
// (so that the two weld), or throws for values no mesh may hold.
double CheckCoordinate(double value, const std::string& where) {
    if (std::isnan(value))
        throw InputError(where + ": coordinate is NaN");
    if (std::isinf(value))
        throw InputError(where + ": coordinate is infinite");
    if (std::fabs(value) > double(FLT_MAX))
        throw InputError(where + ": coordinate " + FormatValue(value) + " is beyond single-precision range");
    return value + 0.0;
}

std::array<float, 3> UnitOrZero(double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!std::isfinite(length) || length < 1e-12)
        return {0.0f, 0.0f, 0.0f};
    return {float(x / length), float(y / length), float(z / length)};
}

std::string NoTrianglesMessage(const std::string& name, uint64_t declared) {
    if (declared == 0)
        return name + ": the file holds no triangles";
    return name + ": all " + std::to_string(declared) + " triangles are degenerate (corners coincide)";
}

char Lower(char character) {
    return character >= 'A' && character <= 'Z' ? char(character - 'A' + 'a') : character;
}

bool SameWord(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Lower(word[i]) != keyword[i])
            return false;
    return true;
}

// Exporters write non-finite values as "1.#INF", "-1.#IND00", "1.#QNAN", "1.#SNAN": digits, a
// '#', letters, maybe digits. Answers infinity or NaN for such a word, nothing otherwise.
std::optional<double> ExporterNonFinite(std::string_view word) {
    const size_t hash = word.find('#');
    if (hash == std::string_view::npos || hash == 0 || hash + 1 >= word.size())
        return std::nullopt;
    size_t position = word[0] == '-' || word[0] == '+' ? 1 : 0;
    if (position >= hash || word[position] < '0' || word[position] > '9')
        return std::nullopt;
    for (; position < hash; ++position)
        if ((word[position] < '0' || word[position] > '9') && word[position] != '.')
            return std::nullopt;
    const std::string_view tail = word.substr(hash + 1);
    if (tail.size() >= 3 && SameWord(tail.substr(0, 3), "inf"))
        return word[0] == '-' ? -std::numeric_limits<double>::infinity()
                              : std::numeric_limits<double>::infinity();
    return std::numeric_limits<double>::quiet_NaN();
}

// Whitespace-separated words of an ASCII STL with the line and column each starts at. Lines end
// in LF, CRLF or CR.
class Tokenizer {
public:
    Tokenizer(std::span<const uint8_t> bytes, const std::string& name)
        : mo_text(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mo_name(name) {}

    // The next word, or an empty view at the end of the text.
    std::string_view Next() {
        _SkipSpace(false);
        return _Word();
    }
    // The next word on the current line, or an empty view at the line's (or text's) end.
    std::string_view NextOnLine() {
        if (!_SkipSpace(true))
            return {};
        return _Word();
    }

    void Expect(std::string_view keyword) {
        const std::string_view found = Next();
        if (!SameWord(found, keyword))
            Fail("expected '" + std::string(keyword) + "', found " + Describe(found));
    }

    // A number; non-finite spellings give NaN or infinity (callers decide what they mean).
    double Number() {
        const std::string_view found = Next();
        const char* first = found.data();
        const char* last = found.data() + found.size();
        // from_chars takes no leading '+', which some exporters write.
        if (first != last && *first == '+')
            ++first;
        double value = 0.0;
        const auto [end, error] = std::from_chars(first, last, value);
        if (!found.empty() && end == last && error == std::errc())
            return value;
        if (!found.empty() && end == last && error == std::errc::result_out_of_range) {
            // Beyond double range: a negative exponent means a value as good as zero, otherwise
            // one far too large.
            const size_t exponent = found.find_first_of("eE");
            const bool tiny = exponent != std::string_view::npos && exponent + 1 < found.size() &&
                              found[exponent + 1] == '-';
            return tiny ? 0.0 : (found.front() == '-' ? -DBL_MAX : DBL_MAX);
        }
        if (const std::optional<double> special = ExporterNonFinite(found))
            return *special;
        Fail("expected a number, found " + Describe(found));
    }

    [[noreturn]] void Fail(const std::string& message) const { throw InputError(Where() + ": " + message); }

    std::string Where() const {
        return mo_name + ":" + std::to_string(mn_word_line) + ":" + std::to_string(mn_word_column);
    }

    static std::string Describe(std::string_view word) {
        if (word.empty())
            return "end of file";
        constexpr size_t MAX = 24;
        std::string text;
        for (const char character : word.substr(0, MAX))
            text += (static_cast<unsigned char>(character) < 0x20 || character == 0x7F) ? '?' : character;
        return "'" + text + (word.size() > MAX ? "...'" : "'");
    }

private:
    static bool IsSpace(char character) {
        return character == ' ' || character == '\t' || character == '\n' || character == '\r' ||
               character == '\f' || character == '\v';
    }

    std::string_view _Word() {
        const size_t start = mn_position;
        while (mn_position < mo_text.size() && !IsSpace(mo_text[mn_position]))
            ++mn_position;
        // At the end of the text, errors point just past the last word rather than at nothing.
        mn_word_line = mn_line;
        mn_word_column = (mn_position > start ? start : mn_position) - mn_line_start + 1;
        return mo_text.substr(start, mn_position - start);
    }

    // Skips whitespace; with `stop_at_line_end`, stops before a line end and answers false there.
    bool _SkipSpace(bool stop_at_line_end) {
        while (mn_position < mo_text.size() && IsSpace(mo_text[mn_position])) {
            const char character = mo_text[mn_position];
            if (character == '\n' || character == '\r') {
                if (stop_at_line_end)
                    return false;
                if (character == '\r' && mn_position + 1 < mo_text.size() && mo_text[mn_position + 1] == '\n')
                    ++mn_position;
                ++mn_line;
                mn_line_start = mn_position + 1;
            }
            ++mn_position;
        }
        return mn_position < mo_text.size();
    }

    std::string_view mo_text;
    const std::string& mo_name;
    size_t mn_position = 0;
    size_t mn_line = 1;
    size_t mn_line_start = 0;
    size_t mn_word_line = 1;
    size_t mn_word_column = 1;
};

// Reads "solid" and the name after it, which runs to the end of its line or, for a file on a
// single line, to the first word that opens a facet or ends the solid. Answers that word, or the
// first word on the following line.
std::string_view SkipSolidName(Tokenizer& tokens) {
    for (std::string_view word = tokens.NextOnLine(); !word.empty(); word = tokens.NextOnLine())
        if (SameWord(word, "facet") || SameWord(word, "endsolid"))
            return word;
    return tokens.Next();
}

} // namespace

StlMesh StlReader::ReadFile(const std::string& path) const {
    FileBytes file(path, mn_stream_limit);
    return _Read(file.GetBytes(), path, &file);
}

StlMesh StlReader::ReadMemory(std::span<const uint8_t> bytes, const std::string& name) const {
    return _Read(bytes, name, nullptr);
}

StlMesh StlReader::_Read(std::span<const uint8_t> bytes, const std::string& name, FileBytes* file) const {
    if (bytes.empty())
        throw InputError(name + ": the file is empty");
    if (bytes.size() >= BINARY_HEADER_SIZE) {
        uint32_t count = 0;
        std::memcpy(&count, bytes.data() + 80, sizeof count);
        // 84 + 50 n cannot overflow 64 bits for a 32-bit n.
        if (BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * uint64_t(count) == bytes.size())
            return _ReadBinary(bytes, name, file);
    }
    // Some editors save text with a UTF-8 byte order mark in front.
    std::span<const uint8_t> text = bytes;
    if (text.size() >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF)
        text = text.subspan(3);
    if (std::optional<StlMesh> mesh = _ReadAscii(text, name, file))
        return std::move(*mesh);
    return _ReadBinary(bytes, name, file);
}

StlMesh StlReader::_ReadBinary(std::span<const uint8_t> bytes, const std::string& name,
                               FileBytes* file) const {
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
    if (count == 0)
        throw InputError(NoTrianglesMessage(name, 0));

    // STL is little-endian, as is every platform this builds on.
    static_assert(std::endian::native == std::endian::little);
    std::vector<std::array<float, 3>> corners;
    std::vector<std::array<float, 3>> normals;
    large_buffers::Reserve(corners, size_t(count) * 3);
    large_buffers::Reserve(normals, count);
    corners.resize(size_t(count) * 3);
    normals.resize(count);
    // Each range keeps its first bad triangle; the lowest over all ranges is reported, so the
    // message does not depend on the thread count.
    std::atomic<uint64_t> first_bad{count};
    large_buffers::ForRanges(count, 1 << 15, [&](size_t begin, size_t end) {
        for (size_t triangle = begin; triangle < end; ++triangle) {
            float values[12];
            std::memcpy(values, bytes.data() + BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * triangle,
                        sizeof values);
            bool finite = true;
            for (int i = 3; i < 12; ++i)
                finite &= std::fabs(values[i]) <= FLT_MAX;
            if (!finite) {
                uint64_t current = first_bad.load();
                while (triangle < current && !first_bad.compare_exchange_weak(current, triangle)) {
                }
                return;
            }
            for (int corner = 0; corner < 3; ++corner)
                corners[3 * triangle + size_t(corner)] = {values[3 + 3 * corner] + 0.0f,
                                                          values[4 + 3 * corner] + 0.0f,
                                                          values[5 + 3 * corner] + 0.0f};
            normals[triangle] = UnitOrZero(values[0], values[1], values[2]);
        }
    });
    if (const uint64_t bad = first_bad.load(); bad < count) {
        float values[9];
        std::memcpy(values, bytes.data() + BINARY_HEADER_SIZE + BINARY_RECORD_SIZE * bad + 12, sizeof values);
        for (const float value : values)
            CheckCoordinate(value, name + ": triangle " + std::to_string(bad + 1));
    }
    if (file != nullptr)
        file->Release(); // the welding's buffers take its place
    StlMesh mesh = MeshWelder::Weld(std::move(corners), std::move(normals));
    if (mesh.triangles.empty())
        throw InputError(NoTrianglesMessage(name, count));
    return mesh;
}

std::optional<StlMesh> StlReader::_ReadAscii(std::span<const uint8_t> bytes, const std::string& name,
                                             FileBytes* file) const {
    Tokenizer tokens(bytes, name);
    if (!SameWord(tokens.Next(), "solid"))
        return std::nullopt;
    std::string_view word = SkipSolidName(tokens);
    if (!SameWord(word, "facet") && !SameWord(word, "endsolid"))
        return std::nullopt;

    std::vector<std::array<double, 3>> corners;
    std::vector<std::array<float, 3>> normals;
    // A facet takes at least 60 bytes of text; reserving for that avoids regrowing large files.
    large_buffers::Reserve(corners, bytes.size() / 60 * 3);
    large_buffers::Reserve(normals, bytes.size() / 60);
    for (;;) {
        if (SameWord(word, "endsolid")) {
            // The name after endsolid is optional; some exporters put several solids in one file,
            // and they all become one mesh.
            do
                word = tokens.NextOnLine();
            while (!word.empty() && !SameWord(word, "solid"));
            if (word.empty())
                word = tokens.Next();
            if (word.empty())
                break;
            if (!SameWord(word, "solid"))
                tokens.Fail("expected 'solid' or end of file after 'endsolid', found " +
                            Tokenizer::Describe(word));
            word = SkipSolidName(tokens);
            continue;
        }
        if (!SameWord(word, "facet"))
            tokens.Fail("expected 'facet' or 'endsolid', found " + Tokenizer::Describe(word));
        tokens.Expect("normal");
        const double x = tokens.Number(), y = tokens.Number(), z = tokens.Number();
        normals.push_back(UnitOrZero(x, y, z));
        tokens.Expect("outer");
        tokens.Expect("loop");
        for (int corner = 0; corner < 3; ++corner) {
            tokens.Expect("vertex");
            std::array<double, 3> point{};
            for (double& coordinate : point) {
                const double value = tokens.Number();
                // The message, with its place, is only built for a bad value.
                coordinate = std::fabs(value) <= double(FLT_MAX) ? value + 0.0
                                                                 : CheckCoordinate(value, tokens.Where());
            }
            corners.push_back(point);
        }
        tokens.Expect("endloop");
        tokens.Expect("endfacet");
        word = tokens.Next();
    }
    const uint64_t declared = normals.size();
    if (declared == 0)
        throw InputError(NoTrianglesMessage(name, 0));
    if (file != nullptr)
        file->Release();
    StlMesh mesh = MeshWelder::Weld(std::move(corners), std::move(normals));
    if (mesh.triangles.empty())
        throw InputError(NoTrianglesMessage(name, declared));
    return mesh;
}
