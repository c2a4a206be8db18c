#pragma once
// FileBytes: the bytes of one input file, read once. A regular file is memory-mapped (read-only,
// faulted in up front, which costs far less than page-by-page faults); anything else (a pipe, a
// character device such as /dev/zero) is read into memory up to a limit and refused beyond it,
// so that an endless source cannot grow memory without bound. A stream grows in an anonymous
// mapping that the kernel moves rather than copies, and only the bytes read touch memory.
//
// Errors throw InputError with one line naming the path: "cannot open", "cannot read" (with the
// system's reason), or the limit. Release() gives the memory back early. Not copyable; the bytes
// stay valid until Release or destruction. Threads may read the bytes concurrently.
#include <cstdint>
#include <span>
#include <string>

class FileBytes {
public:
    // Pipes and devices are refused past this many bytes: 256 MiB, five million binary triangles.
    static constexpr uint64_t DEFAULT_STREAM_LIMIT = uint64_t(1) << 28;

    explicit FileBytes(const std::string& path, uint64_t stream_limit = DEFAULT_STREAM_LIMIT);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    std::span<const uint8_t> GetBytes() const { return {mp_bytes, mn_size}; }
    void Release();

private:
    void _ReadStream(int descriptor, const std::string& path, uint64_t stream_limit);

    const uint8_t* mp_bytes = nullptr;
    size_t mn_size = 0;
    void* mp_mapping = nullptr; // the file's mapping, or the stream's buffer
    size_t mn_mapping_size = 0;
};
