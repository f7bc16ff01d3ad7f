#pragma once
// Checks that a database file can serve as the working table wen before the
// program puts it in place of the working database.

#include <filesystem>

#include "base/error.h"

namespace tabrovin {

// Proves the blank template usable before it is copied over the working
// database: a whole, undamaged database file whose table wen has id, idd and
// a0..a50 and no rows. Opens it read-only; a clear Chinese error otherwise.
Status checkWorkingTemplate(const std::filesystem::path& blankDb);

// Proves a snapshot usable before it is put back, as checkWorkingTemplate
// proves the template, rows allowed: it is not synced to disk, so a crash may
// have left it damaged, and it may have been tampered with.
Status checkSnapshot(const std::filesystem::path& snapshot);

}  // namespace tabrovin
