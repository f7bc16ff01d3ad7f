// openWorkbook: picks the reader from the file's first bytes, never its name.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
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

// The first bytes of a file, and whether they are all of it.
struct Head {
    std::string bytes;
    bool whole = false;
};

constexpr size_t kHeadBytes = 64 * 1024;

Result<Head> readHead(const fs::path& path) {
    std::string why;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(openRegularFile(path, why), std::fclose);
    if (!f) return Error::fileAccess(path, why);
    Head head{std::string(kHeadBytes + 1, '\0')};
    size_t got = std::fread(head.bytes.data(), 1, head.bytes.size(), f.get());
    if (std::ferror(f.get())) return Error::fileAccess(path, "读取文件时出错");
    head.whole = got <= kHeadBytes;
    head.bytes.resize(std::min(got, kHeadBytes));
    return head;
}

Result<std::unique_ptr<Workbook>> openText(const fs::path& path, const Head& head) {
    switch (sheets::sniffCsv(head.bytes, head.whole)) {
        case sheets::CsvSniff::kText:
            return sheets::openCsv(path);
        case sheets::CsvSniff::kUtf16WithoutBom:
            return Error::notWorkbook(
                path,
                "文字像是没有字节顺序标记（BOM）的 UTF-16 编码，请另存为 UTF-8 编码的 CSV 文件");
        case sheets::CsvSniff::kBinary:
            break;
    }
    return Error::notWorkbook(path, "无法识别的文件格式");
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
    return Error::notWorkbook(path, "压缩包中既没有 Excel 工作簿也没有 OpenDocument 电子表格");
}

}  // namespace

Result<std::unique_ptr<Workbook>> openWorkbookFile(const fs::path& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (!fs::exists(status)) return Error::fileNotFound(path);
    if (fs::is_directory(status)) return Error::fileAccess(path, "这是文件夹，不是工作簿文件");
    // A pipe or a device, which would wait for ever or never end, is
    // refused by readHead, which opens the path without waiting.
    auto read = readHead(path);
    if (!read) return read.error();
    const std::string& head = read->bytes;

    if (head.empty()) return Error::notWorkbook(path, "文件是空的");
    if (head.starts_with(std::string_view(kCompoundFile, 8))) {
        // Excel keeps a password-protected .xlsx inside a compound file.
        if (sheets::isEncryptedPackage(path)) return Error::encryptedWorkbook(path);
        return xls::openXlsWorkbook(path);
    }
    if (head.starts_with(std::string_view(kZip, 4))) return openZip(path);
    if (xls::looksLikeBareBiff(head)) return xls::openXlsWorkbook(path);
    return openText(path, *read);
}

}  // namespace tabrovin
