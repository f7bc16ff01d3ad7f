#pragma once
// What every operation works on: the program folder and the connection to
// its working database. Operations run one at a time on one Workspace,
// possibly on a worker thread; nothing here knows a window.

#include <filesystem>
#include <string>

#include "base/error.h"
#include "core/paths.h"
#include "platform/database.h"

namespace tabrovin {

struct Workspace {
    explicit Workspace(ProgramPaths p) : paths(std::move(p)) {}

    ProgramPaths paths;
    Database conn;

    // Replaces `conn` with a fresh connection to the working database.
    // Says plainly which file or folder is missing.
    Status openConn();
    // Opens `reader` read-only on the working database, for steps that only
    // read: it maps the file instead of copying every page into its cache,
    // several times faster on a large table. Missing files as openConn says.
    Status openReader(Database& reader) const;
    // The rows in wen, counted through such a reader. Call it with no
    // change pending on `conn`.
    Result<int32_t> countRows() const;
};

// Checks that `path` is an existing regular file: Error::fileNotFound, or
// Error::folderNotFound when its folder is missing too.
Status requireFile(const std::filesystem::path& path);

}  // namespace tabrovin
