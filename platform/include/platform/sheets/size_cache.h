#pragma once
// Sizes of sheets measured before. Choosing a workbook and then importing it
// would otherwise read a big sheet from start to end once more only to count
// its rows; a file that changed in between (length or time of last change)
// is measured again.

#include <cstddef>
#include <filesystem>
#include <memory>
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

// Worksheet `number` (from 1) of a book of `count` sheets stored in `file`:
// made by `make(index)`, then sized from what was remembered for this file
// version or by its own measure().
template <class Make>
Result<std::unique_ptr<Worksheet>> measuredSheet(int number, int count,
                                                 const std::optional<FileIdentity>& file,
                                                 Make make) {
    if (number < 1 || number > count) return Error::noSuchSheet(number, count);
    const size_t index = static_cast<size_t>(number - 1);
    auto sheet = make(index);
    if (auto known = cachedSize(file, index)) {
        sheet->setSize(*known);
    } else {
        TABROVIN_TRY(sheet->measure());
        rememberSize(file, index, sheet->size());
    }
    return std::unique_ptr<Worksheet>(std::move(sheet));
}

}  // namespace tabrovin::sheets
