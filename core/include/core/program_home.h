#pragma once
// Which folder is the program folder at start. A portable copy (data/ beside
// the executable, writable) keeps its own folder; an installed or read-only
// copy keeps the user's files in the user's data folder, laid out there from
// the installed templates on first start.

#include <filesystem>
#include <functional>
#include <optional>

#include "base/error.h"
#include "core/paths.h"

namespace tabrovin {

// The name of the program's folder among the user's data, and of its
// templates' folder under share/ when installed.
inline constexpr const char* kHomeName = "tabrovin";

struct HomeChoice {
    std::filesystem::path folder;     // the program folder
    std::filesystem::path templates;  // where to lay it out from; empty: leave it as it is
};

// The places a start can choose between, as the system gave them.
struct HomeCandidates {
    std::optional<std::filesystem::path> given;  // --home: taken as it is
    std::filesystem::path own;                   // the executable's folder
    std::filesystem::path user;                  // the user's data folder; empty when there is none
    std::function<bool(const std::filesystem::path&)> writable;
};

// The installed templates for an executable in `own`: own/../share/tabrovin.
std::filesystem::path installedTemplates(const std::filesystem::path& own);

// Picks the program folder: `given` when there is one; `own` when it holds
// data/ and both take files; `own` when it is writable and nothing is
// installed beside it (as a bare build folder always was); otherwise `user`,
// laid out from the installed templates (or own/data of a read-only portable
// copy). Error::noProgramFolder when `user` is needed and cannot be written.
Result<HomeChoice> chooseHome(const HomeCandidates& places);

// Makes data/ and 导出/ in `paths`'s folder and copies into data/ every file
// of `templates` that data/ lacks, then data.mdb from B.mdb and an empty
// ini.txt when missing. Never replaces a file that is there, so an upgrade
// or a second start keeps the user's data and any template they changed.
Status layOutHome(const ProgramPaths& paths, const std::filesystem::path& templates);

// chooseHome over this system's folders, then layOutHome: the program
// folder a start works on, ready to use.
Result<ProgramPaths> startingHome(const std::optional<std::filesystem::path>& given,
                                  const char* argv0);

}  // namespace tabrovin
