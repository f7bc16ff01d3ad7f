#pragma once
// A fingerprint of the program folder's shared files, so that a window that
// idles between steps notices what another program (the batch command, a
// second window) changed meanwhile.

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/paths.h"

namespace tabrovin {

struct FolderStamp {
    // Taken now. Never fails: a missing or unreadable file has a stamp too.
    static FolderStamp of(const ProgramPaths& paths);

    // Whether the working table changed, by its file or by a commit in place
    // (the database's own change counter moves with every commit).
    bool tableDiffers(const FolderStamp& other) const { return table != other.table; }
    // Whether the column list file changed.
    bool namesDiffer(const FolderStamp& other) const { return names != other.names; }
    bool operator==(const FolderStamp&) const = default;

    std::string table, names;
};

}  // namespace tabrovin
