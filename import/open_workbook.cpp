#include "import/open_workbook.h"

#include <algorithm>

#include "core/buttons.h"
#include "core/numbers.h"
#include "platform/workbook.h"

namespace tabrovin {
namespace {

constexpr const char* kTitle = "ZazIV : 导入数据1出错! # ";

Status copyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        fs::path side = to;
        side += suffix;
        fs::remove(side, ec);
    }
    // Copy beside the target and rename, so a failed copy never leaves a
    // half-written database behind.
    fs::path tmp = to;
    tmp += ".new";
    fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(tmp, to, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Error{err::kFileAccess, "无法用空白模板替换工作数据库 " + utf8FromPath(to) +
                                           " (文件可能被其他程序占用或只读)"};
    }
    return Status::Ok();
}

Status listHeaders(Session& s, const std::string& path, int sheetNumber) {
    auto book = openWorkbookFile(pathFromUtf8(path));
    if (!book) return book.error();
    auto sheet = (*book)->worksheet(sheetNumber);
    if (!sheet) return sheet.error();
    SheetSize size = (*sheet)->size();
    // An empty sheet still has a used range of one cell.
    const int32_t r = std::max(size.rows, 1) - 1, c = std::max(size.columns, 1) - 1;
    s.window.setCaption(Label::Label6, std::to_string(r));
    s.window.setCaption(Label::Label7, std::to_string(c));
    if (r < 1) return Status::Ok();
    TABROVIN_TRY(
        (*sheet)->readRows(1, 1, c + 1, [&](int32_t, const std::vector<std::string>& cells) {
            for (const auto& text : cells) {
                s.window.addItem(ListBox::List1, text);
                s.window.setChecked(s.window.count(ListBox::List1) - 1, true);
            }
            return Status::Ok();
        }));
    setButtons(s.window, kImportButton, 0);
    return Status::Ok();
}

}  // namespace

Result<int> worksheetNumber(const WindowPort& window) {
    auto n = toInt16(window.text(TextBox::Text4));
    if (!n) return n.error();
    return std::max<int>(*n, 1);
}

Status resetWorkingDatabase(Session& s) {
    TABROVIN_TRY(requireFile(s.paths.blankDb(), "空白数据库模板"));
    return copyOver(s.paths.blankDb(), s.paths.workingDb());
}

void openWorkbook(Session& s, const std::string& path) {
    auto n = worksheetNumber(s.window);
    if (!n) return s.errorBox(kTitle, n.error());
    s.window.setList1Enabled(true);
    s.window.clear(ListBox::List1);
    s.conn.release();
    Status st = resetWorkingDatabase(s);
    if (st.ok()) st = listHeaders(s, path, *n);
    if (!st.ok()) s.errorBox(kTitle, st.error());
}

}  // namespace tabrovin
