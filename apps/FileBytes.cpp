#include "apps/FileBytes.h"

#include "apps/InputError.h"

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
    mp_bytes = static_cast<const uint8_t*>(mapping);
}

FileBytes::~FileBytes() {
    Release();
}

void FileBytes::Release() {
    if (mp_mapping != nullptr)
        ::munmap(mp_mapping, mn_size);
    mp_mapping = nullptr;
    mp_bytes = nullptr;
    mn_size = 0;
    std::vector<uint8_t>().swap(mv_buffer);
}

void FileBytes::_ReadStream(int descriptor, const std::string& path, uint64_t stream_limit) {
    size_t used = 0;
    for (;;) {
        if (used == mv_buffer.size()) {
            if (used > stream_limit)
                throw InputError(path + ": not a regular file and longer than " +
                                 std::to_string(stream_limit) + " bytes, the limit for pipes and devices");
            // One byte past the limit tells a source at the limit from a longer one.
            const uint64_t grown = std::max<uint64_t>(uint64_t(1) << 16, uint64_t(used) * 2);
            mv_buffer.resize(size_t(std::min(grown, stream_limit + 1)));
        }
        const ssize_t count = ::read(descriptor, mv_buffer.data() + used, mv_buffer.size() - used);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw InputError(path + ": cannot read: " + Reason(errno));
        }
        if (count == 0)
            break;
        used += size_t(count);
    }
    if (used > stream_limit)
        throw InputError(path + ": not a regular file and longer than " + std::to_string(stream_limit) +
                         " bytes, the limit for pipes and devices");
    mv_buffer.resize(used);
    mv_buffer.shrink_to_fit();
    mp_bytes = mv_buffer.data();
    mn_size = used;
}
