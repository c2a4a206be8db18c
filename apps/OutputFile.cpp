#include "apps/OutputFile.h"

#include "apps/InputError.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> CLEANUP_SIGNALS = {SIGINT, SIGTERM, SIGHUP};
constexpr int MAX_LINK_HOPS = 40;

// What the signal handler may touch: plain memory written before `g_temporary_active` is set
// (with the signals blocked), read by the handler.
char g_temporary_path[PATH_MAX + 64];
volatile std::sig_atomic_t g_temporary_active = 0;
struct sigaction g_previous_actions[CLEANUP_SIGNALS.size()];

extern "C" void RemoveTemporaryAndResignal(int signal) {
    if (g_temporary_active != 0) {
        ::unlink(g_temporary_path);
        g_temporary_active = 0;
    }
    for (size_t i = 0; i < CLEANUP_SIGNALS.size(); ++i)
        if (CLEANUP_SIGNALS[i] == signal)
            ::sigaction(signal, &g_previous_actions[i], nullptr);
    // Delivered once this handler returns, to the earlier disposition (by default: the end).
    ::raise(signal);
}

// Blocks the cleanup signals for its lifetime, so the handler never sees a half-made state.
class SignalBlock {
public:
    SignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : CLEANUP_SIGNALS)
            sigaddset(&set, signal);
        ::sigprocmask(SIG_BLOCK, &set, &mo_previous);
    }
    ~SignalBlock() { ::sigprocmask(SIG_SETMASK, &mo_previous, nullptr); }

private:
    sigset_t mo_previous;
};

std::string SystemError(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Follows symbolic links to the path that will really be written (which need not exist yet).
std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat status;
        if (::lstat(current.c_str(), &status) != 0) {
            if (errno == ENOENT)
                return current;
            throw InputError(path + ": cannot write there: " + SystemError(errno));
        }
        if (!S_ISLNK(status.st_mode))
            return current;
        std::string link(size_t(status.st_size > 0 ? status.st_size : PATH_MAX), '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length < 0)
            throw InputError(path + ": cannot read the symbolic link: " + SystemError(errno));
        link.resize(size_t(length));
        current = !link.empty() && link[0] == '/'
                      ? link
                      : (std::filesystem::path(FolderOf(current)) / link).lexically_normal().string();
    }
    throw InputError(path + ": cannot write there: " + SystemError(ELOOP));
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

} // namespace

void OutputFile::Check(const std::string& path) {
    if (path.empty())
        throw InputError("the output path is empty");
    if (path == STANDARD_OUTPUT) {
        if (::isatty(STDOUT_FILENO) != 0)
            throw InputError("standard output is a terminal: redirect it, or give --output a file name");
        return;
    }
    const std::string target = ResolveLinks(path);
    const std::string folder = FolderOf(target);
    struct stat status;
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        throw InputError(path + ": the output folder '" + folder + "' does not exist");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw InputError(path + ": the output folder '" + folder +
                         "' is not writable: " + SystemError(errno));
    if (::stat(target.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return;
        throw InputError(path + ": cannot write there: " + SystemError(errno));
    }
    if (!S_ISREG(status.st_mode))
        throw InputError(path + ": refused: the output is " + KindOf(status.st_mode) +
                         ", not a regular file");
    // Mode bits as well as access(): root passes access() for any file, but a file nobody may
    // write is meant to stay as it is.
    if ((status.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
        throw InputError(path + ": refused: the file is read-only");
}

OutputFile::OutputFile(const std::string& path)
    : mo_path(path == STANDARD_OUTPUT ? std::string("standard output") : path) {
    Check(path);
    static const cookie_io_functions_t FUNCTIONS = {nullptr, &OutputFile::_WriteCookie, nullptr, nullptr};
    if (path == STANDARD_OUTPUT) {
        mb_standard_output = true;
        mn_descriptor = STDOUT_FILENO;
    } else {
        mo_target = ResolveLinks(path);
        struct stat status;
        if (::stat(mo_target.c_str(), &status) == 0) {
            mo_existing_mode = mode_t(status.st_mode & 07777);
            mn_existing_owner = status.st_uid;
            mn_existing_group = status.st_gid;
        }
        const std::string folder = FolderOf(mo_target);
        std::random_device device;
        std::mt19937 random(device());
        constexpr char LETTERS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        // The handler learns the name before the file exists: a signal taken by another thread
        // right after open() must still find it (unlinking a name not yet made is harmless).
        const SignalBlock block;
        const bool registering = g_temporary_active == 0;
        if (registering)
            for (size_t i = 0; i < CLEANUP_SIGNALS.size(); ++i) {
                struct sigaction action;
                std::memset(&action, 0, sizeof action);
                ::sigaction(CLEANUP_SIGNALS[i], nullptr, &g_previous_actions[i]);
                // A signal the caller chose to ignore (nohup, a background job) stays ignored.
                if (g_previous_actions[i].sa_handler == SIG_IGN)
                    continue;
                action.sa_handler = &RemoveTemporaryAndResignal;
                sigemptyset(&action.sa_mask);
                ::sigaction(CLEANUP_SIGNALS[i], &action, nullptr);
            }
        mb_registered = registering;
        int error = 0;
        for (int attempt = 0; attempt < 100 && mn_descriptor < 0; ++attempt) {
            std::string name = ".vantrel-";
            for (int i = 0; i < 8; ++i)
                name += LETTERS[random() % (sizeof LETTERS - 1)];
            mo_temporary = folder + "/" + name + ".tmp";
            const bool known = registering && mo_temporary.size() < sizeof g_temporary_path;
            if (known) {
                std::memcpy(g_temporary_path, mo_temporary.c_str(), mo_temporary.size() + 1);
                g_temporary_active = 1;
            }
            mn_descriptor = ::open(mo_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            error = errno;
            if (mn_descriptor < 0 && known)
                g_temporary_active = 0;
            if (mn_descriptor < 0 && error != EEXIST)
                break;
        }
        if (mn_descriptor < 0) {
            mo_temporary.clear();
            _Discard();
            throw InputError(path + ": cannot create a file in the output folder: " + SystemError(error));
        }
    }
    mp_stream = ::fopencookie(this, "w", FUNCTIONS);
    if (mp_stream == nullptr) {
        const int error = errno;
        _Discard();
        throw InputError(path + ": cannot write: " + SystemError(error));
    }
}

OutputFile::~OutputFile() {
    _Discard();
}

void OutputFile::Abandon(const std::string& reason) {
    if (mn_write_error != 0)
        _Fail("cannot write", mn_write_error);
    _Discard();
    throw InputError(mo_path + ": " + reason);
}

ssize_t OutputFile::_WriteCookie(void* cookie, const char* data, size_t size) {
    auto& self = *static_cast<OutputFile*>(cookie);
    size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(self.mn_descriptor, data + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (self.mn_write_error == 0)
                self.mn_write_error = written < 0 ? errno : EIO;
            return -1;
        }
        done += size_t(written);
    }
    return ssize_t(size);
}

void OutputFile::_Fail(const std::string& what, int error) {
    _Discard();
    throw InputError(mo_path + ": " + what + ": " + SystemError(error));
}

void OutputFile::Commit() {
    std::FILE* stream = mp_stream;
    mp_stream = nullptr;
    if (std::fclose(stream) != 0 || mn_write_error != 0)
        _Fail("cannot write", mn_write_error != 0 ? mn_write_error : errno);
    if (mb_standard_output)
        return;
    if (mo_existing_mode) {
        if (::geteuid() == 0)
            (void)::fchown(mn_descriptor, mn_existing_owner, mn_existing_group);
        if (::fchmod(mn_descriptor, *mo_existing_mode) != 0)
            _Fail("cannot keep the file's permissions", errno);
    }
    // Some file systems report a full disk only when the file is closed.
    const int descriptor = mn_descriptor;
    mn_descriptor = -1;
    if (::close(descriptor) != 0)
        _Fail("cannot write", errno);
    const SignalBlock block;
    if (std::rename(mo_temporary.c_str(), mo_target.c_str()) != 0)
        _Fail("cannot put the finished file in place", errno);
    mo_temporary.clear();
    _Discard();
}

void OutputFile::_Discard() {
    if (mp_stream != nullptr) {
        std::fclose(mp_stream);
        mp_stream = nullptr;
    }
    if (!mb_standard_output && mn_descriptor >= 0)
        ::close(mn_descriptor);
    mn_descriptor = -1;
    const SignalBlock block;
    if (!mo_temporary.empty()) {
        ::unlink(mo_temporary.c_str());
        mo_temporary.clear();
    }
    if (mb_registered) {
        g_temporary_active = 0;
        for (size_t i = 0; i < CLEANUP_SIGNALS.size(); ++i)
            if (g_previous_actions[i].sa_handler != SIG_IGN)
                ::sigaction(CLEANUP_SIGNALS[i], &g_previous_actions[i], nullptr);
        mb_registered = false;
    }
}
