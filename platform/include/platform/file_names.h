#pragma once
// File names and files as the readers and writers take them: paths in the
// form C libraries such as GLib expect, regular files opened without waiting,
// and written files that reach their final name only once complete.

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/error.h"

namespace tabrovin {

// The file name GLib (libgsf) takes: UTF-8 on Windows, native bytes elsewhere.
inline std::string glibFileName(const std::filesystem::path& p) {
#ifdef _WIN32
    return utf8FromPath(p);
#else
    return p.string();
#endif
}

// Opens an existing regular file for reading, never waiting: a pipe, device
// or folder found at `path` (even one swapped in after the caller's own
// check) is refused. Null, with `why` in Chinese, on failure; the caller
// owns and closes what it returns.
std::FILE* openRegularFile(const std::filesystem::path& path, std::string& why);

// Written files reach their final name only once complete: these three are
// the steps every writer takes.
// A destination that can take a new file: its folder exists (else
// err::kPathNotFound) and no folder or read-only file sits at `out` (else
// err::kFileAccess).
Status checkDestination(const std::filesystem::path& out);
// A name beside `out` that no other write of this process uses, such as
// "转换后的3.xls.~123-0.tmp".
std::filesystem::path temporaryBeside(const std::filesystem::path& out);
// Renames the complete file `tmp` over `out`; on failure removes `tmp` and
// gives err::kFileAccess.
Status renameIntoPlace(const std::filesystem::path& tmp, const std::filesystem::path& out);

}  // namespace tabrovin
