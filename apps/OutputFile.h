#pragma once
// OutputFile: one output file of a program, written so that it appears complete or not at all and
// never replaces what is not a writable regular file.
// Call order: Check (any time, to fail before expensive work), then construct, write through
// GetStream, Commit. Destroying an uncommitted OutputFile removes its temporary.
// The path "-" is standard output: written directly, refused when it is a terminal.
// Otherwise symbolic links are followed and their target is written; the bytes go to a temporary
// created exclusively in the target's folder (a short name, whatever the target's length), which
// is renamed over the target by Commit. An existing target keeps its permission bits (and, for
// root, its owner); a new one gets 0666 less the umask. A target with other hard links is
// replaced under the name given only: its other names keep the previous contents, as with any
// save that renames. SIGINT, SIGTERM and SIGHUP remove the temporary before the signal takes its
// course (their earlier handling is restored after Commit).
// Errors throw InputError naming the path as given and the system's reason.
// Threading: one OutputFile at a time per process (the signal cleanup knows one temporary).
#include <cstdio>
#include <optional>
#include <string>

#include <sys/types.h>

class OutputFile {
public:
    static constexpr const char* STANDARD_OUTPUT = "-";

    // Throws InputError unless `path` can be written: its folder exists and is writable, and
    // whatever is at the path (after links) is a writable regular file or nothing yet.
    static void Check(const std::string& path);

    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Buffered stream onto the temporary (or standard output). Write errors are remembered and
    // reported by Commit, so a C library writing through it needs no error path of its own.
    std::FILE* GetStream() const { return mp_stream; }
    // Flushes, closes and puts the file in place; throws InputError on any failure (the temporary
    // is then removed and the target left as it was).
    void Commit();
    // Gives up: removes the temporary and throws InputError with the recorded write error's reason,
    // or `reason` when writing never failed (an encoder's own error, say).
    [[noreturn]] void Abandon(const std::string& reason);
    // The name of the temporary while there is one (empty for standard output).
    const std::string& GetTemporaryPath() const { return mo_temporary; }

private:
    static ssize_t _WriteCookie(void* cookie, const char* data, size_t size);
    [[noreturn]] void _Fail(const std::string& what, int error);
    void _Discard();

    std::string mo_path;
    std::string mo_target;
    std::string mo_temporary;
    int mn_descriptor = -1;
    int mn_write_error = 0;
    std::FILE* mp_stream = nullptr;
    bool mb_standard_output = false;
    bool mb_registered = false;
    std::optional<mode_t> mo_existing_mode;
    uid_t mn_existing_owner = 0;
    gid_t mn_existing_group = 0;
};
