#include "core/program_home.h"

#include "platform/folder_lock.h"
#include "platform/program_folder.h"
#include "platform/safe_files.h"

namespace tabrovin {
namespace {

bool isFolder(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

bool holdsBlankDb(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / "B.mdb", ec);
}

Status makeFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec && !isFolder(folder)) return Error::fileAccess(folder, "无法创建这个文件夹");
    return Status::Ok();
}

// Whatever lies at `path`, even a link, is the user's and stays.
bool present(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// `to` made new from `from`, or empty when `from` is empty; left alone when
// anything is there already.
Status makeWhenMissing(const std::filesystem::path& to, const std::filesystem::path& from = {}) {
    if (present(to)) return Status::Ok();
    auto made = FreshFile::create(to);
    if (!made) return made.error();
    if ((!from.empty() && !made->copyFrom(from)) || !made->finish(true))
        return Error::fileAccess(
            to, from.empty() ? "无法创建" : "无法从" + utf8FromPath(from) + "复制");
    return Status::Ok();
}

Status copyTemplates(const std::filesystem::path& templates, const std::filesystem::path& data) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(templates, ec), end; !ec && it != end;
         it.increment(ec)) {
        // Hidden files are a folder's own business (its lock), not templates.
        if (!it->is_regular_file(ec) || it->path().filename().string().starts_with(".")) continue;
        TABROVIN_TRY(makeWhenMissing(data / it->path().filename(), it->path()));
    }
    if (ec) return Error::fileAccess(templates, "无法读取模板文件夹（" + ec.message() + "）");
    return Status::Ok();
}

Status layOutLocked(const ProgramPaths& paths, const std::filesystem::path& templates) {
    TABROVIN_TRY(copyTemplates(templates, paths.dataDir()));
    std::error_code ec;
    if (std::filesystem::is_regular_file(paths.blankDb(), ec))
        TABROVIN_TRY(makeWhenMissing(paths.workingDb(), paths.blankDb()));
    TABROVIN_TRY(makeWhenMissing(paths.columnList()));
    return Status::Ok();
}

}  // namespace

std::filesystem::path installedTemplates(const std::filesystem::path& own) {
    return own.parent_path() / "share" / kHomeName;
}

Result<HomeChoice> chooseHome(const HomeCandidates& places) {
    if (places.given) return HomeChoice{*places.given, {}};
    const auto ownData = places.own / "data";
    const auto installed = installedTemplates(places.own);
    const bool ownWritable = places.writable(places.own);
    if (isFolder(ownData) && ownWritable && places.writable(ownData))
        return HomeChoice{places.own, {}};
    if (!isFolder(ownData) && !holdsBlankDb(installed) && ownWritable)
        return HomeChoice{places.own, {}};
    if (places.user.empty() || !makeFolder(places.user).ok() || !places.writable(places.user))
        return Error::noProgramFolder(places.own, places.user);
    std::filesystem::path templates;
    if (holdsBlankDb(installed))
        templates = installed;
    else if (holdsBlankDb(ownData))
        templates = ownData;
    return HomeChoice{places.user, templates};
}

Status layOutHome(const ProgramPaths& paths, const std::filesystem::path& templates) {
    TABROVIN_TRY(makeFolder(paths.dataDir()));
    TABROVIN_TRY(makeFolder(paths.exportDir()));
    // Two first starts at once must not both copy over the same data.mdb;
    // a holder busy with a step means the folder is already laid out.
    auto lock = FolderLock::acquire(paths.dataDir(), "tabrovin");
    if (!lock) return lock.error().number == err::kBusy ? Status::Ok() : lock.status();
    return layOutLocked(paths, templates);
}

Result<ProgramPaths> startingHome(const std::optional<std::filesystem::path>& given,
                                  const char* argv0) {
    auto choice =
        chooseHome({given, executableFolder(argv0), userDataFolder(kHomeName), &isWritableFolder});
    if (!choice) return choice.error();
    ProgramPaths paths(choice->folder);
    if (!choice->templates.empty()) TABROVIN_TRY(layOutHome(paths, choice->templates));
    return paths;
}

}  // namespace tabrovin
