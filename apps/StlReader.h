#pragma once
// StlReader: reads binary and ASCII STL into an StlMesh in internal units.
//
// The whole file is read into memory first. It is binary when its size is exactly 84 + 50 n bytes
// for the triangle count n in its header, ASCII when it starts with "solid" and holds only text,
// and otherwise treated as (broken) binary. Every coordinate is multiplied by the internal-units
// factor and rounded to the nearest integer; NaN, infinities and values beyond 32 bits are
// rejected. Errors throw InputError with one line naming the file and, for ASCII, the line
// ("part.stl:17: expected 'vertex', found 'vertx'"); binary errors name the triangle.
// Stateless apart from the factor; safe to use from several threads.
#include "apps/StlMesh.h"

#include <cstdint>
#include <span>
#include <string>

class StlReader {
public:
    StlMesh ReadFile(const std::string& path) const;
    // `name` is what error messages call the data (the path, for files).
    StlMesh ReadMemory(std::span<const uint8_t> bytes, const std::string& name) const;

private:
    StlMesh _ReadBinary(std::span<const uint8_t> bytes, const std::string& name) const;
    StlMesh _ReadAscii(std::span<const uint8_t> bytes, const std::string& name) const;
};
