#include "base/error.h"

#include <cstdio>
#include <cstdlib>

namespace tabrovin {
namespace {

std::string quoted(const std::filesystem::path& p) {
    return "“" + utf8FromPath(p) + "”";
}

std::string place(const CellPlace& w) {
    std::string s;
    if (!w.sheetName.empty())
        s += "工作表“" + w.sheetName + "”";
    else if (w.sheet > 0)
        s += "第 " + std::to_string(w.sheet) + " 个工作表";
    if (w.row > 0) s += "第 " + std::to_string(w.row) + " 行";
    if (w.column > 0) s += "第 " + std::to_string(w.column) + " 列";
    return s;
}

// SQLite's primary result codes that a user can do something about; a few
// engine texts of the generic code 1 get advice of their own.
std::string databaseAdvice(int primary, const std::string& engineText) {
    switch (primary) {
        case 5:  // SQLITE_BUSY
        case 6:  // SQLITE_LOCKED
            return "工作数据库正被其他程序使用，请关闭其他正在使用它的程序（或等它完成）后再试";
        case 8:  // SQLITE_READONLY
            return "工作数据库是只读的，请检查 data 文件夹和其中的 data.mdb 是否可以写入";
        case 10:  // SQLITE_IOERR
            return "读写工作数据库时出错，请检查磁盘或网络驱动器是否可用";
        case 13:  // SQLITE_FULL
            return "磁盘已满，请腾出磁盘空间后再试";
        case 11:  // SQLITE_CORRUPT
        case 26:  // SQLITE_NOTADB
            return "工作数据库已损坏，请重新选择工作簿以重建它";
        case 14:  // SQLITE_CANTOPEN
            return "无法打开工作数据库，请检查 data 文件夹是否存在且可写";
        case 1:  // SQLITE_ERROR
            if (engineText.find("pattern too complex") != std::string::npos)
                return "关键字太长，请缩短关键字后再试";
            return "数据库无法执行这项操作";
        default:
            return "数据库出错";
    }
}

}  // namespace

void failedGuard(const char* what) {
    std::fprintf(stderr, "tabrovin: %s\n", what);
    std::abort();
}

std::string utf8FromPath(const std::filesystem::path& path) {
    auto s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

Error Error::fileNotFound(const std::filesystem::path& file) {
    return {err::kFileNotFound, "找不到文件" + quoted(file) + "。"};
}

Error Error::folderNotFound(const std::filesystem::path& folder) {
    return {err::kPathNotFound, "找不到文件夹" + quoted(folder) + "。"};
}

Error Error::fileAccess(const std::filesystem::path& file, const std::string& why) {
    return {err::kFileAccess, "无法使用文件" + quoted(file) + "：" + why + "。"};
}

Error Error::notWorkbook(const std::filesystem::path& file, const std::string& why) {
    return {err::kNotWorkbook,
            "文件" + quoted(file.filename()) + "不是可以读取的工作簿（" + why + "）。"};
}

Error Error::damagedWorkbook(const std::filesystem::path& file, const std::string& why,
                             const CellPlace& where) {
    std::string at = place(where);
    return {err::kDamagedWorkbook, "工作簿" + quoted(file.filename()) + "已损坏或过大" +
                                       (at.empty() ? "" : "（" + at + "）") + "：" + why + "。"};
}

Error Error::encryptedWorkbook(const std::filesystem::path& file) {
    return {err::kEncryptedWorkbook, "工作簿" + quoted(file.filename()) +
                                         "有密码保护，请在电子表格程序中取消密码并另存后再导入。"};
}

Error Error::unsupportedWorkbook(const std::filesystem::path& file, const std::string& why) {
    return {err::kUnsupportedWorkbook,
            "工作簿" + quoted(file.filename()) + "的格式不受支持：" + why + "。"};
}

Error Error::noSuchSheet(int number, int sheetCount) {
    return {err::kSubscript, "工作簿中没有第 " + std::to_string(number) + " 个工作表（共有 " +
                                 std::to_string(sheetCount) + " 个工作表）。"};
}

Error Error::cellConversion(const std::string& why, const CellPlace& where) {
    return {err::kCellConversion, place(where) + "的单元格无法读取：" + why + "。"};
}

Error Error::workbookWrite(const std::filesystem::path& file, const std::string& why) {
    return {err::kWorkbookWrite, "无法写入工作簿" + quoted(file) + "：" + why + "。"};
}

Error Error::tooManyRows(const std::string& why) {
    return {err::kTooManyRows, why};
}

Error Error::noColumnTicked() {
    return {err::kInvalidArgument, "没有勾选要导入的列，请在“选择你要导入的列”中至少勾选一列。"};
}

Error Error::refused(const std::string& why) {
    return {err::kRefused, why};
}

Error Error::notANumber(const std::string& text) {
    return {err::kTypeMismatch, "“" + text + "”不是数字。"};
}

Error Error::outOfRange(const std::string& text) {
    return {err::kOverflow, "数字“" + text + "”超出了允许的范围。"};
}

Error Error::noSuchColumn(int column) {
    return {err::kNoSuchColumn, "工作数据表 wen 中没有第 " + std::to_string(column) + " 列（a" +
                                    std::to_string(column) + "）。"};
}

Error Error::database(int code, const std::string& engineText) {
    int primary = code & 0xFF;
    return {err::kDatabaseBase + primary,
            databaseAdvice(primary, engineText) + "。（" + engineText + "）"};
}

Error Error::damagedDatabase(const std::filesystem::path& file, int code,
                             const std::string& engineText) {
    return {err::kDatabaseBase + (code & 0xFF),
            "文件" + quoted(file) +
                "不是可用的数据库（已损坏或不是数据库文件），请重新选择工作簿以重建它。（" +
                engineText + "）"};
}

Error Error::badTemplate(const std::filesystem::path& file, const std::string& why) {
    return {err::kBadTemplate, "空白数据库模板" + quoted(file) + "不能使用：" + why +
                                   "。请从程序的安装文件中重新复制它。"};
}

Error Error::cancelled(const std::string& kept) {
    return {err::kCancelled, "操作已取消。" + kept};
}

Error Error::busy(const std::string& holder) {
    return {err::kBusy, "程序文件夹正被" + holder + "使用，请等它完成后再试。"};
}

Error Error::inWorkbookOfMany(const Error& cause, const std::filesystem::path& file, int index,
                              const CellPlace& where) {
    std::string at = place(where);
    return {cause.number, "第 " + std::to_string(index) + " 个工作簿" + quoted(file.filename()) +
                              (at.empty() ? "" : at) + "出错：" + cause.description};
}

Error Error::noProgramFolder(const std::filesystem::path& own, const std::filesystem::path& user) {
    const std::string userText = user.empty() ? "系统没有给出用户数据文件夹（HOME 未设置）"
                                              : "用户数据文件夹" + quoted(user) + "无法创建或写入";
    return {err::kFileAccess,
            "程序所在的文件夹" + quoted(own) + "不能存放数据，" + userText +
                "，程序无法启动。请检查文件夹的权限，或用 --home 指定一个可以写入的文件夹。"};
}

}  // namespace tabrovin
