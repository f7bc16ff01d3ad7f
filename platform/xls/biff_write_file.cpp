#include "platform/xls/biff_write_file.h"

#include "platform/file_names.h"
#include "platform/xls/compound_file.h"

namespace tabrovin::xls {
namespace fs = std::filesystem;

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
    return renameIntoPlace(tmp, out);
}

}  // namespace tabrovin::xls
