#include "apps/MeshWelder.h"

#include "apps/LargeBuffers.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t EMPTY = 0xFFFFFFFFu;
constexpr size_t RECENT = 8; // earlier corners compared before the table is probed

template <class Coordinate> uint64_t Hash(const std::array<Coordinate, 3>& corner) {
    using Bits = std::conditional_t<sizeof(Coordinate) == 4, uint32_t, uint64_t>;
    uint64_t hash = 0x9E3779B97F4A7C15ull;
    for (const Coordinate value : corner) {
        hash ^= uint64_t(std::bit_cast<Bits>(value));
        hash *= 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    return hash;
}

// Each corner's first occurrence. The corners are split by hash into one share per thread;
// every thread walks its share in corner order with a table of its own, so the first corner of a
// point is always the one found first, whatever the number of threads. Then one pass in corner
// order numbers the points. Comparison is by bytes, as for the hash: equal coordinates weld.
template <class Coordinate>
std::vector<uint32_t> FirstOccurrences(const std::vector<std::array<Coordinate, 3>>& corners,
                                       size_t& unique) {
    const size_t count = corners.size();
    std::vector<uint32_t> remap;
    large_buffers::Reserve(remap, count);
    remap.resize(count);
    const size_t shares = std::min<size_t>(large_buffers::CountThreads(), count < (1 << 16) ? 1 : 8);
    // A load of at most three quarters even when no two corners weld.
    const size_t slots = std::bit_ceil(std::max<size_t>(16, count / shares + count / shares / 3 + 1));
    large_buffers::ForRanges(shares, 1, [&](size_t first_share, size_t end_share) {
        std::vector<uint32_t> table;
        large_buffers::Reserve(table, slots);
        for (size_t share = first_share; share < end_share; ++share) {
            table.assign(slots, EMPTY);
            for (size_t corner = 0; corner < count; ++corner) {
                const uint64_t hash = Hash(corners[corner]);
                if (hash % shares != share)
                    continue;
                // Meshes come in strips and fans: most corners repeat one of the last few, which
                // are still in cache, while a table probe is a cache miss. An equal corner has the
                // same hash, so its share, and so its entry, is this thread's.
                bool recent = false;
                for (size_t back = 1; back <= RECENT && back <= corner && !recent; ++back)
                    if (std::memcmp(&corners[corner - back], &corners[corner], sizeof corners[corner]) == 0) {
                        remap[corner] = remap[corner - back];
                        recent = true;
                    }
                if (recent)
                    continue;
                for (size_t slot = (hash / shares) & (slots - 1);; slot = (slot + 1) & (slots - 1)) {
                    const uint32_t found = table[slot];
                    if (found == EMPTY) {
                        table[slot] = uint32_t(corner);
                        remap[corner] = uint32_t(corner);
                        break;
                    }
                    if (std::memcmp(&corners[found], &corners[corner], sizeof corners[corner]) == 0) {
                        remap[corner] = found;
                        break;
                    }
                }
            }
        }
    });
    // In place: an earlier corner already holds its point's number when a later one asks for it.
    uint32_t next = 0;
    for (size_t corner = 0; corner < count; ++corner)
        remap[corner] = remap[corner] == corner ? next++ : remap[remap[corner]];
    unique = next;
    return remap;
}

template <class Coordinate>
StlMesh WeldCorners(std::vector<std::array<Coordinate, 3>>&& corners,
                    std::vector<std::array<float, 3>>&& normals,
                    std::vector<std::array<float, 6>>&& texture_coordinates) {
    static_assert(sizeof(std::array<Coordinate, 3>) == 3 * sizeof(Coordinate), "corners are packed");
    StlMesh mesh;
    const size_t count = corners.size();
    size_t unique = 0;
    const std::vector<uint32_t> remap = FirstOccurrences(corners, unique);

    large_buffers::Reserve(mesh.points, unique);
    mesh.points.resize(unique);
    // Every corner writes its point; the copies of one point carry the same value.
    large_buffers::ForRanges(count, 1 << 16, [&](size_t begin, size_t end) {
        for (size_t corner = begin; corner < end; ++corner)
            mesh.points[remap[corner]] = {double(corners[corner][0]), double(corners[corner][1]),
                                          double(corners[corner][2])};
    });
    std::vector<std::array<Coordinate, 3>>().swap(corners);

    const size_t triangles = count / 3;
    large_buffers::Reserve(mesh.triangles, triangles);
    size_t kept = 0;
    for (size_t triangle = 0; triangle < triangles; ++triangle) {
        const std::array<uint32_t, 3> indices{remap[3 * triangle], remap[3 * triangle + 1],
                                              remap[3 * triangle + 2]};
        if (indices[0] == indices[1] || indices[1] == indices[2] || indices[0] == indices[2]) {
            ++mesh.degenerate;
            continue;
        }
        mesh.triangles.push_back(indices);
        if (!texture_coordinates.empty())
            texture_coordinates[kept] = texture_coordinates[triangle];
        normals[kept++] = normals[triangle];
    }
    normals.resize(kept);
    mesh.normals = std::move(normals);
    if (!texture_coordinates.empty()) {
        texture_coordinates.resize(kept);
        mesh.texture_coordinates = std::move(texture_coordinates);
    }
    return mesh;
}

} // namespace

StlMesh MeshWelder::Weld(std::vector<std::array<float, 3>>&& corners,
                         std::vector<std::array<float, 3>>&& normals) {
    return WeldCorners(std::move(corners), std::move(normals), std::vector<std::array<float, 6>>());
}

StlMesh MeshWelder::Weld(std::vector<std::array<double, 3>>&& corners,
                         std::vector<std::array<float, 3>>&& normals,
                         std::vector<std::array<float, 6>>&& texture_coordinates) {
    return WeldCorners(std::move(corners), std::move(normals), std::move(texture_coordinates));
}
