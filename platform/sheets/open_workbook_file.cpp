// openWorkbook: picks the reader from the file's first bytes, never its name.

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

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
constexpr const char* kNotRegular =
    "这不是普通文件（可能是管道、设备或套接字），不能作为工作簿读取";

// The first bytes of a file, and whether they are all of it.
struct Head {
    std::string bytes;
    bool whole = false;
};

constexpr size_t kHeadBytes = 64 * 1024;

#ifdef _WIN32
Result<Head> readHead(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);  // wide-character paths
    if (!f) return Error::fileAccess(path, "没有权限或被占用");
    Head head{std::string(kHeadBytes, '\0')};
    f.read(head.bytes.data(), static_cast<std::streamsize>(head.bytes.size()));
    head.bytes.resize(static_cast<size_t>(f.gcount()));
    head.whole = !f.bad() && f.peek() == std::ifstream::traits_type::eof();
    if (f.bad()) return Error::fileAccess(path, "读取文件时出错");
    return head;
}
#else
// Opened without waiting, so that a file swapped for a pipe after the
// caller's check is refused here rather than blocking.
Result<Head> readHead(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Error::fileAccess(path, "没有权限或被占用");
    struct stat st {};
    Head head{std::string(kHeadBytes + 1, '\0')};
    size_t got = 0;
    ssize_t n = 1;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    while (regular && got < head.bytes.size() &&
           (n = ::read(fd, head.bytes.data() + got, head.bytes.size() - got)) != 0) {
        if (n < 0 && errno != EINTR) break;
        if (n > 0) got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!regular) return Error::fileAccess(path, kNotRegular);
    if (n < 0) return Error::fileAccess(path, "读取文件时出错");
    head.whole = got <= kHeadBytes;
    head.bytes.resize(std::min(got, kHeadBytes));
    return head;
}
#endif

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
    // Reading a pipe or a device would wait for ever or never end.
    if (!fs::is_regular_file(status)) return Error::fileAccess(path, kNotRegular);
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
