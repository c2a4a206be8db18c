#include "apps/FileBytes.h"

#include "apps/InputError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor {
public:
    explicit Descriptor(int descriptor) : mn_descriptor(descriptor) {}
    ~Descriptor() {
        if (mn_descriptor >= 0)
            ::close(mn_descriptor);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return mn_descriptor; }

private:
    int mn_descriptor;
};

std::string Reason(int error) {
    return std::strerror(error);
}

} // namespace

FileBytes::FileBytes(const std::string& path, uint64_t stream_limit) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        throw InputError(path + ": cannot open: " + Reason(errno));
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        throw InputError(path + ": cannot read: " + Reason(errno));
    if (S_ISDIR(status.st_mode))
        throw InputError(path + ": cannot read: " + Reason(EISDIR));
    if (!S_ISREG(status.st_mode)) {
        _ReadStream(file.Get(), path, stream_limit);
        return;
    }
    mn_size = size_t(status.st_size);
    if (mn_size == 0)
        return;
    void* mapping = ::mmap(nullptr, mn_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.Get(), 0);
    if (mapping == MAP_FAILED) {
        // Some file systems cannot map; read them like a stream, with the file's own size as limit.
        mn_size = 0;
        _ReadStream(file.Get(), path, uint64_t(status.st_size));
        return;
    }
    mp_mapping = mapping;
    mn_mapping_size = mn_size;
    mp_bytes = static_cast<const uint8_t*>(mapping);
}

FileBytes::~FileBytes() {
    Release();
}

void FileBytes::Release() {
    if (mp_mapping != nullptr)
        ::munmap(mp_mapping, mn_mapping_size);
    mp_mapping = nullptr;
    mn_mapping_size = 0;
    mp_bytes = nullptr;
    mn_size = 0;
}

void FileBytes::_ReadStream(int descriptor, const std::string& path, uint64_t stream_limit) {
    auto refuse = [&] {
        Release();
        throw InputError(path + ": not a regular file and longer than " + std::to_string(stream_limit) +
                         " bytes, the limit for pipes and devices");
    };
    size_t used = 0;
    for (;;) {
        if (used == mn_mapping_size) {
            if (used > stream_limit)
                refuse();
            // One byte past the limit tells a source at the limit from a longer one.
            const size_t grown = size_t(std::min<uint64_t>(
                std::max<uint64_t>(uint64_t(1) << 20, uint64_t(used) * 2), stream_limit + 1));
            void* mapping =
                mp_mapping == nullptr
                    ? ::mmap(nullptr, grown, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                    : ::mremap(mp_mapping, mn_mapping_size, grown, MREMAP_MAYMOVE);
            if (mapping == MAP_FAILED) {
                const int error = errno;
                Release();
                throw InputError(path + ": cannot read: " + Reason(error));
            }
            mp_mapping = mapping;
            mn_mapping_size = grown;
        }
        const ssize_t count =
            ::read(descriptor, static_cast<uint8_t*>(mp_mapping) + used, mn_mapping_size - used);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            Release();
            throw InputError(path + ": cannot read: " + Reason(error));
        }
        if (count == 0)
            break;
        used += size_t(count);
    }
    if (used > stream_limit)
        refuse();
    mp_bytes = static_cast<const uint8_t*>(mp_mapping);
    mn_size = used;
}
