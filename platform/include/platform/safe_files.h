#pragma once
// Files the program writes and reads inside its own folder, made safe against
// what may lie there instead: a link to a file elsewhere, a pipe that would
// block a reader for ever, a file the user protected.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/error.h"

namespace tabrovin {

// A file created new for writing: never through a link, never an existing
// file. It gets the program's own mode (what the system gives new files),
// not a source's. Closed, and removed unless kept, when it goes.
class FreshFile {
  public:
    // Creates `path`. Whatever lies at that name first (a file left by a
    // crash, or a link) is removed, not followed. err::kFileAccess on failure.
    static Result<FreshFile> create(const std::filesystem::path& path);

    FreshFile(FreshFile&& o) noexcept;
    FreshFile& operator=(FreshFile&&) = delete;
    FreshFile(const FreshFile&) = delete;
    ~FreshFile();

    // False when not all of `bytes` could be written (a full disk).
    bool write(std::string_view bytes);
    // Appends the whole regular file `from`; false on any failure.
    bool copyFrom(const std::filesystem::path& from);
    // Flushes to the disk, then closes; false on failure. The file stays.
    bool finish(bool syncToDisk);

  private:
    FreshFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::filesystem::path path_;
    int fd_ = -1;
    bool kept_ = false;
};

// The bytes of the regular file `path`, at most `maxBytes` of them. A pipe,
// device or folder at that name is refused without waiting on it; a missing
// file is err::kFileNotFound, anything else err::kFileAccess.
Result<std::string> readRegularFile(const std::filesystem::path& path, size_t maxBytes);

// True when `path` exists and is no regular file (a pipe, a device, a
// folder): nothing the program reads from it may be taken for data.
bool isSpecialFile(const std::filesystem::path& path);

// True when `path` is a file the user protected from changes: read-only by
// its attributes, or not writable by this program.
bool isProtectedFile(const std::filesystem::path& path);

// Refuses, with a message that says so, to replace a protected file.
Status refuseProtected(const std::filesystem::path& path);

// Gives each standard stream (input, output, error) that the caller closed
// an empty stand-in, so that no file the program opens takes its number and
// receives what is printed. True when standard output was closed.
bool standInForClosedStreams();

}  // namespace tabrovin
