#include "platform/xls/biff_write_file.h"

#include <atomic>
#include <chrono>

#include "platform/file_names.h"
#include "platform/xls/compound_file.h"

namespace tabrovin::xls {
namespace fs = std::filesystem;

namespace {

Status checkDestination(const fs::path& out) {
    std::error_code ec;
    fs::path folder = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    if (!fs::is_directory(folder, ec))
        return Error{err::kPathNotFound, "找不到保存工作簿的文件夹: " + utf8FromPath(folder)};
    auto st = fs::status(out, ec);
    if (ec || !fs::exists(st)) return Status::Ok();
    if (fs::is_directory(st))
        return Error{err::kFileAccess,
                     "无法写入工作簿 " + utf8FromPath(out) + ": 同名文件夹已存在"};
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return Error{err::kFileAccess, "无法写入工作簿 " + utf8FromPath(out) + ": 文件是只读的"};
    return Status::Ok();
}

fs::path temporaryBeside(const fs::path& out) {
    static std::atomic<unsigned> counter{0};
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path name = out.filename();
    name += ".~" + std::to_string(tick % 1000000007) + "-" + std::to_string(counter++) + ".tmp";
    return out.parent_path() / name;
}

}  // namespace

Status writeWorkbookFile(const fs::path& out, const std::vector<Stream>& streams) {
    TABROVIN_TRY(checkDestination(out));
    fs::path tmp = temporaryBeside(out);
    Status written = writeCompoundFile(tmp, streams);
    std::error_code ec;
    if (!written.ok()) {
        fs::remove(tmp, ec);
        int number = written.error().number == err::kPathNotFound ? err::kFileAccess
                                                                  : written.error().number;
        return Error{number,
                     "无法写入工作簿 " + utf8FromPath(out) + ": " + written.error().description};
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Error{err::kFileAccess,
                     "无法保存工作簿 " + utf8FromPath(out) + ": 文件可能被占用或没有写入权限"};
    }
    return Status::Ok();
}

}  // namespace tabrovin::xls
