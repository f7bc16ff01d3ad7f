// openWorkbook: picks the reader from the file's first bytes, never its name.

#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/file_names.h"
#include "platform/sheets/csv_reader.h"
#include "platform/sheets/ods_reader.h"
#include "platform/sheets/xlsx_reader.h"
#include "platform/sheets/zip_archive.h"
#include "platform/workbook.h"
#include "platform/xls/xls_reader.h"

namespace tabrovin {
namespace {

namespace fs = std::filesystem;

constexpr char kCompoundFile[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr char kZip[] = "PK\x03\x04";
constexpr std::string_view kOdsMime = "application/vnd.oasis.opendocument.spreadsheet";

Error notWorkbook(const fs::path& path, const std::string& why) {
    return Error{err::kNotWorkbook,
                 "文件“" + utf8FromPath(path.filename()) + "”不是可以读取的工作簿（" + why + "）。"};
}

Result<std::unique_ptr<Workbook>> openZip(const fs::path& path) {
    auto zip = sheets::ZipArchive::open(path);
    if (!zip) return zip.error();
    auto workbook = sheets::workbookPart(**zip);
    if (!workbook) return workbook.error();
    if (!workbook->empty()) return sheets::openXlsx(std::move(*zip), *workbook);
    if ((*zip)->has("mimetype")) {
        auto mime = (*zip)->read("mimetype", 4096);
        if (mime && std::string_view(*mime).starts_with(kOdsMime))
            return sheets::openOds(std::move(*zip), path);
    }
    return notWorkbook(path, "压缩包中既没有 Excel 工作簿也没有 OpenDocument 电子表格");
}

}  // namespace

Result<std::unique_ptr<Workbook>> openWorkbookFile(const fs::path& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (!fs::exists(status))
        return Error{err::kFileNotFound, "找不到文件“" + utf8FromPath(path) + "”。"};
    if (fs::is_directory(status))
        return Error{err::kFileAccess, "“" + utf8FromPath(path) + "”是文件夹，不是工作簿文件。"};
    std::ifstream f(path, std::ios::binary);  // wide-character paths on Windows too
    if (!f)
        return Error{err::kFileAccess,
                     "无法读取文件“" + utf8FromPath(path) + "”（没有权限或被占用）。"};
    std::string head(64 * 1024, '\0');
    f.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(f.gcount()));
    bool whole = !f.bad() && f.peek() == std::ifstream::traits_type::eof();
    if (f.bad()) return Error{err::kFileAccess, "无法读取文件“" + utf8FromPath(path) + "”。"};
    f.close();

    if (head.empty()) return notWorkbook(path, "文件是空的");
    if (head.starts_with(std::string_view(kCompoundFile, 8))) {
        // Excel keeps a password-protected .xlsx inside a compound file.
        if (sheets::isEncryptedPackage(path)) return Error::encryptedWorkbook(path);
        return xls::openXlsWorkbook(path);
    }
    if (head.starts_with(std::string_view(kZip, 4))) return openZip(path);
    if (sheets::looksLikeCsv(head, whole)) return sheets::openCsv(path);
    return notWorkbook(path, "无法识别的文件格式");
}

}  // namespace tabrovin
