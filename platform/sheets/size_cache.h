#pragma once
// Sizes of sheets measured before. Choosing a workbook and then importing it
// would otherwise read a big sheet from start to end once more only to count
// its rows; a file that changed in between (length or time of last change)
// is measured again.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/workbook.h"

namespace tabrovin::sheets {

struct FileIdentity {
    std::string path;
    uintmax_t bytes = 0;
    long long changed = 0;  // time of last change, in the file system's ticks
    // The identity of the file at `path` now; std::nullopt when it cannot be read.
    static std::optional<FileIdentity> of(const std::filesystem::path& path);
    bool operator<(const FileIdentity& o) const;
};

std::optional<SheetSize> cachedSize(const std::optional<FileIdentity>& file, size_t sheet);
void rememberSize(const std::optional<FileIdentity>& file, size_t sheet, SheetSize size);

}  // namespace tabrovin::sheets
