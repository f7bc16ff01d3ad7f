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
    if (!fs::is_directory(folder, ec)) return Error::folderNotFound(folder);
    auto st = fs::status(out, ec);
    if (ec || !fs::exists(st)) return Status::Ok();
    if (fs::is_directory(st)) return Error::fileAccess(out, "同名的文件夹已存在");
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return Error::fileAccess(out, "文件是只读的");
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
        // The messages name the temporary file; the user knows the workbook.
        if (written.error().number == err::kWorkbookWrite)
            return Error::workbookWrite(out, "写入时出错，磁盘可能已满");
        return Error::fileAccess(out, "无法在它所在的文件夹中创建文件，请检查写入权限");
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Error::fileAccess(out, "文件可能正被其他程序使用，或没有写入权限");
    }
    return Status::Ok();
}

}  // namespace tabrovin::xls
