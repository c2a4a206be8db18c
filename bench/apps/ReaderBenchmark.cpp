// Mesh loading: a binary STL of one million triangles (a torus, 50 MB) read and welded, and the
// whole load of a scene object from it (reading, welding and building the host mesh). Reports
// minor page faults per iteration beside the time: on this machine a fresh page's first touch
// costs 11 to 16 us, which is what large loaders mostly spend.
#include "apps/PrimitiveBuilder.h"
#include "apps/Scene.h"
#include "apps/StlReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// The files the benchmark wrote, removed when the program ends.
struct GeneratedFiles {
    ~GeneratedFiles() {
        std::error_code error;
        for (const std::string& path : paths)
            std::filesystem::remove(path, error);
    }
    std::vector<std::string> paths;
};
GeneratedFiles generated;

// Binary STL of a torus with `around` x `tube` quads; written once per size and process.
std::string TorusStl(int around, int tube) {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("vantrel-bench-reader-" + std::to_string(::getpid()) + "-" +
                               std::to_string(around) + "x" + std::to_string(tube) + ".stl"))
                                 .string();
    if (std::find(generated.paths.begin(), generated.paths.end(), file) != generated.paths.end())
        return file;
    generated.paths.push_back(file);
    PrimitiveBuilder builder;
    builder.AddTorus({0, 0, 0}, 60.0, 20.0, around, tube);
    const StlMesh mesh = builder.Take();
    std::ofstream out(file, std::ios::binary);
    char header[80] = "vantrel reader benchmark torus";
    out.write(header, sizeof header);
    const auto count = uint32_t(mesh.triangles.size());
    out.write(reinterpret_cast<const char*>(&count), 4);
    for (const auto& triangle : mesh.triangles) {
        char record[50] = {};
        for (int corner = 0; corner < 3; ++corner)
            for (int axis = 0; axis < 3; ++axis) {
                const auto value = float(mesh.points[triangle[corner]][axis]);
                std::memcpy(record + 12 + 12 * corner + 4 * axis, &value, 4);
            }
        out.write(record, sizeof record);
    }
    return file;
}

struct Usage {
    long faults;
    double cpu_ms; // every thread of the process, user and system
    long peak_kib; // the process's high-water mark so far
};

Usage Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& time) {
        return double(time.tv_sec) * 1e3 + double(time.tv_usec) * 1e-3;
    };
    return {usage.ru_minflt, ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
}

void Report(benchmark::State& state, const Usage& before) {
    const Usage after = Now();
    const auto iterations = double(state.iterations());
    state.counters["faults"] = double(after.faults - before.faults) / iterations;
    state.counters["process_cpu_ms"] = (after.cpu_ms - before.cpu_ms) / iterations;
    state.counters["peak_mb"] = double(after.peak_kib) / 1024.0;
}

void BM_ReadAndWeldMillionTriangleStl(benchmark::State& state) {
    const std::string path = TorusStl(1000, 500);
    const Usage before = Now();
    for (auto _ : state) {
        const StlMesh mesh = StlReader().ReadFile(path);
        benchmark::DoNotOptimize(mesh.triangles.data());
    }
    Report(state, before);
}
BENCHMARK(BM_ReadAndWeldMillionTriangleStl)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_LoadMillionTriangleObject(benchmark::State& state) {
    const std::string path = TorusStl(1000, 500);
    const Usage before = Now();
    for (auto _ : state) {
        Scene scene;
        scene.AddMesh(StlReader().ReadFile(path), "torus", 0xFFFFFFFFu, false);
        benchmark::DoNotOptimize(scene.GetObjects().data());
    }
    Report(state, before);
}
BENCHMARK(BM_LoadMillionTriangleObject)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
