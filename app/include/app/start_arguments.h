#pragma once
// The window's command line: `tabrovin [--home DIR] [WORKBOOK]`, as a file
// manager's "open with" gives it (one workbook) or a user types it.

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin {

struct WindowArguments {
    std::optional<std::string> home;      // --home DIR, UTF-8
    std::optional<std::string> workbook;  // chosen at start, UTF-8
};

// The usage line shown with a refused command line.
extern const char* const kWindowUsage;

// Reads the arguments after the program's name. "--" ends the options, so a
// workbook named like an option can still be given. Error::refused for
// an unknown option, --home without a folder, or more than one workbook.
Result<WindowArguments> parseWindowArguments(const std::vector<std::string>& args);

}  // namespace tabrovin
