#pragma once
// StlReader: reads binary and ASCII STL into an StlMesh in the file's model units, with identical
// points welded.
//
// The format is decided by evidence: binary when the file is exactly 84 + 50 n bytes for the
// triangle count n in its header; otherwise ASCII when it opens with "solid" (any case, after an
// optional byte order mark) and the name line is followed by "facet" or "endsolid", whatever bytes
// the name holds; otherwise (broken) binary. ASCII keywords are case-insensitive; lines may end in
// LF, CRLF or CR, and any whitespace separates words, so a file on a single line reads too. A
// facet normal that is zero or not finite, in any spelling exporters use ("nan", "inf",
// "-1.#IND00", "1.#QNAN"), is recomputed from the corners. Coordinates must be finite and within
// single-precision range.
//
// Errors throw InputError with one line naming the file and, for ASCII, line and column
// ("part.stl:17:7: expected 'vertex', found 'vertx'"); binary errors name the triangle. Files are
// read through FileBytes (memory-mapped; pipes and devices up to a limit). Binary records are
// parsed on several threads and welded by MeshWelder; the mesh is the same for any thread
// count. Stateless apart from the limit; one reader may be used from several threads.
#include "apps/FileBytes.h"
#include "apps/StlMesh.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class StlReader {
public:
    StlMesh ReadFile(const std::string& path) const;
    // `name` is what error messages call the data (the path, for files).
    StlMesh ReadMemory(std::span<const uint8_t> bytes, const std::string& name) const;

    // Non-regular files longer than this are refused.
    void SetStreamLimit(uint64_t bytes) { mn_stream_limit = bytes; }

private:
    // `file`, when given, holds `bytes` and is released once they are parsed, before welding.
    StlMesh _Read(std::span<const uint8_t> bytes, const std::string& name, FileBytes* file) const;
    StlMesh _ReadBinary(std::span<const uint8_t> bytes, const std::string& name, FileBytes* file) const;
    // Empty when the text shows no facet after its name line (it is then no ASCII STL).
    std::optional<StlMesh> _ReadAscii(std::span<const uint8_t> bytes, const std::string& name,
                                      FileBytes* file) const;

    uint64_t mn_stream_limit = FileBytes::DEFAULT_STREAM_LIMIT;
};
