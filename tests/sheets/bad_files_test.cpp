// Files that are not workbooks, are damaged, or are built to cost gigabytes
// or minutes: each gives its error number and a description, early, never a
// crash or a hang; repeat counts never shift cells into other columns.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/sheets/limits.h"
#include "platform/xls/compound_file.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

TEST(BadFiles, NotWorkbooksGiveTheirErrorNumbers) {
    TempDir dir;
    std::mt19937 gen(7);
    std::string noise(5000, '\0');
    for (auto& c : noise) c = static_cast<char>(gen());
    writeFile(dir / "noise.xls", noise);
    writeFile(dir / "empty.xlsx", "");
    writePackage(dir / "other.xlsx", {{"readme.txt", "hello"}, {"mimetype", "application/zip"}});
    writePackage(dir / "locked.ods", {{"mimetype", kOdsMime},
                                      {"META-INF/manifest.xml",
                                       R"(<manifest:manifest xmlns:manifest=")"
                                       R"(urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
                                       R"(<manifest:file-entry manifest:full-path="content.xml">)"
                                       R"(<manifest:encryption-data manifest:checksum="x"/>)"
                                       "</manifest:file-entry></manifest:manifest>"},
                                      {"content.xml", "binary"}});
    // The two streams Excel writes in a compound file for a password-protected .xlsx.
    const std::vector<uint8_t> streamBytes = {4, 0, 4, 0};
    ASSERT_TRUE(xls::writeCompoundFile(dir / "locked.xlsx", {{"EncryptionInfo", streamBytes},
                                                             {"EncryptedPackage", streamBytes}})
                    .ok());
    const std::tuple<const char*, int, const char*> cases[] = {
        {"没有.xlsx", err::kFileNotFound, "找不到文件"},
        {"", err::kFileAccess, "这是文件夹"},
        {"empty.xlsx", err::kNotWorkbook, "文件是空的"},
        {"noise.xls", err::kNotWorkbook, "无法识别的文件格式"},
        {"other.xlsx", err::kNotWorkbook, "既没有 Excel 工作簿也没有 OpenDocument"},
        {"locked.ods", err::kEncryptedWorkbook, "有密码保护"},
        {"locked.xlsx", err::kEncryptedWorkbook, "有密码保护"}};
    for (auto [name, number, words] : cases)
        EXPECT_TRUE(failsWith(readFailure(dir / name), number, words)) << name;
    // Text under a workbook's name is read as CSV, by its content.
    writeFile(dir / "文本.xlsx", "甲,乙\n1,2\n");
    EXPECT_EQ(readSheet(dir / "文本.xlsx"), (Grid{{"甲", "乙"}, {"1", "2"}}));
}

TEST(BadFiles, TruncatedZipsAndCorruptXmlAreDamaged) {
    TempDir dir;
    std::string rows;
    for (int i = 0; i < 300; ++i) rows += "<row><c><v>" + std::to_string(i) + "</v></c></row>";
    writePackage(dir / "full.xlsx", xlsxParts({worksheet(rows)}, "", "", kDateXf));
    const std::string bytes = readFile(dir / "full.xlsx");
    for (double part : {0.02, 0.3, 0.6, 0.9, 0.999}) {
        writeFile(dir / "cut.xlsx", bytes.substr(0, size_t(bytes.size() * part)));
        EXPECT_EQ(readFailure(dir / "cut.xlsx").number, err::kDamagedWorkbook) << "cut at " << part;
    }
    // Damage inside a part large enough to be inflated on a second thread.
    rows.clear();
    for (int i = 0; i < 200000; ++i) rows += "<row><c><v>" + std::to_string(i) + "</v></c></row>";
    writePackage(dir / "big.xlsx", xlsxParts({worksheet(rows)}));
    std::string big = readFile(dir / "big.xlsx");
    size_t data = big.find("xl/worksheets/sheet1.xml") + 50000;
    ASSERT_LT(data + 64, big.find("xl/workbook.xml"));
    big.replace(data, 64, 64, '\xFF');
    writeFile(dir / "big.xlsx", big);
    EXPECT_TRUE(failsWith(readFailure(dir / "big.xlsx"), err::kDamagedWorkbook, "无法解压"));
    const std::string cell = R"(<worksheet><sheetData><row r="1"><c r="A1")";
    const std::string end = "</c></row></sheetData></worksheet>";
    const std::pair<std::string, const char*> sheets[] = {
        {cell + "><v>1</v></c></row>", "没有结束"},
        {cell + "><v>1</x>" + end, "与开始标记不匹配"},
        {cell + R"( t="s"><v>5</v>)" + end, "不存在的共享字符串"},
        {cell + "><v>&bogus;</v>" + end, "无效的字符引用"},
        {R"(<!DOCTYPE x [<!ENTITY a "b">]><worksheet/>)", "不支持 DOCTYPE"}};
    for (const auto& [sheet, words] : sheets)
        EXPECT_TRUE(failsWith(partsFailure(xlsxParts({sheet})), err::kDamagedWorkbook, words));
    // Text that is not UTF-8 would reach the working table as it is.
    EXPECT_TRUE(failsWith(partsFailure(xlsxParts({worksheet(R"(<row><c/><c t="inlineStr"><is><t>a)"
                                                            "\xFF\xFE"
                                                            "b</t></is></c></row>")})),
                          err::kDamagedWorkbook, "第 1 行第 2 列）：单元格的文字不是有效的 UTF-8"));
    // A cell error names the sheet, row and column.
    EXPECT_TRUE(failsWith(
        partsFailure(xlsxParts({worksheet(R"(<row r="4"><c r="C4"><v>abc</v></c></row>)")})),
        err::kCellConversion, "工作表“S&1”第 4 行第 3 列"));
}

#ifndef _WIN32
TEST(BadFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    TempDir dir;
    const auto fifo = dir / "管道.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return readFailure(fifo); });
    if (opening.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets the reader go
        if (writer >= 0) ::close(writer);
        ADD_FAILURE() << "opening a pipe waited for a writer";
    }
    EXPECT_TRUE(failsWith(opening.get(), err::kFileAccess, "不是普通文件"));
    EXPECT_EQ(readFailure("/dev/null").number, err::kFileAccess);
}
#endif

TEST(XlsxDetails, InlineStringsErrorsBooleansAndLongTexts) {
    EXPECT_EQ(readParts(xlsxParts({worksheet(R"(
<row r="2"><c r="B2" t="inlineStr"><is><t>内联</t><r><t xml:space="preserve"> 文字</t></r></is></c>
<c r="C2" t="e"><v>#REF!</v></c><c r="D2" t="b"><v>1</v></c></row>)")})),
              (Grid{{"", "", "", ""}, {"", "内联 文字", "#REF!", "TRUE"}}));
    // A cell keeps the first 32,767 characters, as many as a spreadsheet cell holds.
    const std::string text = repeat("字", 35000);
    EXPECT_EQ(readParts(xlsxParts({worksheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                                             text + "</t></is></c></row>")})),
              (Grid{{text.substr(0, 3 * 32767)}}));
}

// A date or time that does not parse shows as its text, without NULs like
// every text: one of NULs alone is an empty cell and does not widen the sheet.
TEST(XlsxDetails, UnparsedDatesShowAsTextWithoutNuls) {
    const std::string nul(1, '\0');
    EXPECT_EQ(readParts(xlsxParts(
                  {worksheet("<row r=\"1\"><c r=\"A1\" t=\"d\"><v>2024-" + nul +
                             "03</v></c><c r=\"B1\" t=\"d\"><v>" + nul + nul + "</v></c></row>")})),
              (Grid{{"2024-03"}}));
    EXPECT_EQ(readParts(odsParts("<table:table-row><table:table-cell office:value-type=\"date\" "
                                 "office:date-value=\"x" +
                                 nul +
                                 "y\"/><table:table-cell office:value-type=\"time\" "
                                 "office:time-value=\"" +
                                 nul + "\"/></table:table-row>")),
              (Grid{{"xy"}}));
}

using sheets::kMaxColumns;
using sheets::kMaxRows;

// Sets the inflated size that the central directory declares for `part`.
void declareSize(const std::filesystem::path& zip, const std::string& part, uint32_t bytes) {
    auto r =
        runPython(R"(
import sys, struct
data = bytearray(open(sys.argv[1], 'rb').read())
name = sys.argv[2].encode()
at = data.find(b'PK\x01\x02')
while at >= 0:
    n = struct.unpack_from('<H', data, at + 28)[0]
    if data[at + 46:at + 46 + n] == name: struct.pack_into('<I', data, at + 24, int(sys.argv[3]))
    at = data.find(b'PK\x01\x02', at + 4)
open(sys.argv[1], 'wb').write(data)
)",
                  shellQuote(zip.string()) + " " + shellQuote(part) + " " + std::to_string(bytes));
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

// Each is refused quickly as damaged, before anything is inflated or held whole.
TEST(Bombs, WorkbooksBuiltToCostGigabytesAreRefusedEarly) {
    TempDir dir;
    const std::string text = repeat("字", sheets::kMaxCellCharacters);
    const std::string sheet = worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
    Parts manySheets = xlsxParts({sheet});
    setPart(manySheets, "xl/workbook.xml",
            "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs + "\"><sheets>" +
                repeat("<sheet name=\"a\" r:id=\"rId1\"/>", sheets::kMaxSheets + 1) +
                "</sheets></workbook>");
    const std::tuple<const char*, Parts, const char*> cases[] = {
        // 48 MB of shared strings, deflated 1000 times.
        {"strings.xlsx", xlsxParts({sheet}, "", repeat("<si><t>A</t></si>", 3'000'000)),
         "可能是压缩炸弹"},
        {"declared.xlsx", xlsxParts({sheet}, "", "<si><t>x</t></si>"), "2861 MB"},  // claims 3 GB
        {"sheets.xlsx", manySheets, "工作表超过"},
        {"styles.xlsx", xlsxParts({sheet}, "", "", repeat("<xf/>", sheets::kMaxStyles + 1)),
         "单元格格式超过"},
        // One long text repeated across a whole row would be held 16,384 times.
        {"row.xlsx",
         xlsxParts({worksheet("<row r=\"1\">" + repeat("<c t=\"s\"><v>0</v></c>", kMaxColumns) +
                              "</row>")},
                   "", "<si><t>" + text + "</t></si>"),
         "第 1 行）：一行的内容超过"},
        {"row.ods",
         odsParts("<table:table-row><table:table-cell table:number-columns-repeated=\"16384\">"
                  "<text:p>" +
                  text + "</text:p></table:table-cell></table:table-row>"),
         "第 1 行）：一行的内容超过"}};
    for (const auto& [name, parts, words] : cases) {
        writePackage(dir / name, parts);
        if (name == std::string("declared.xlsx"))
            declareSize(dir / name, "xl/worksheets/sheet1.xml", 3'000'000'000u);
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(failsWith(readFailure(dir / name), err::kDamagedWorkbook, words)) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    }
}

// An .ods sheet whose first row, repeated `rowRepeat` times, holds a cell "a"
// repeated `columnRepeat` times and then "b"; its second row holds "c".
Parts repeatedOds(const std::string& columnRepeat, const std::string& rowRepeat = "1") {
    return odsParts("<table:table-row table:number-rows-repeated=\"" + rowRepeat +
                    "\"><table:table-cell table:number-columns-repeated=\"" + columnRepeat +
                    "\"><text:p>a</text:p></table:table-cell><table:table-cell><text:p>b"
                    "</text:p></table:table-cell></table:table-row><table:table-row>"
                    "<table:table-cell><text:p>c</text:p></table:table-cell></table:table-row>");
}

// Rows first..last, `columns` wide, of the first sheet of `parts`, and its size.
std::pair<Grid, SheetSize> window(const TempDir& dir, const Parts& parts, int32_t first,
                                  int32_t last, int32_t columns) {
    writePackage(dir / "r.ods", parts);
    auto book = openWorkbookFile(dir / "r.ods");
    auto sheet = book ? (*book)->worksheet(1) : book.error();
    if (!sheet) return {{{sheet.error().description}}, {}};
    Grid g;
    Status s = readGrid(**sheet, first, last, columns, g);
    return {s ? g : Grid{{s.error().description}}, (*sheet)->size()};
}

TEST(Bombs, OdsRepeatCountsReachTheSheetsEdgeOrRefuseTheFile) {
    TempDir dir;
    for (std::string count : {"1000000000", "2147483648", "99999999999999999999"}) {
        SCOPED_TRACE(count);
        // Columns: "a" fills the row to its last column; "b" falls beyond it.
        auto [g, size] = window(dir, repeatedOds(count), 1, 2, 3);
        EXPECT_EQ(size.columns, kMaxColumns);
        EXPECT_EQ(g, (Grid{{"a", "a", "a"}, {"c", "", ""}}));
        // Rows: the first row repeats to the sheet's last row; the second falls beyond it.
        std::tie(g, size) = window(dir, repeatedOds("1", count), kMaxRows - 1, kMaxRows, 3);
        EXPECT_EQ(size.rows, kMaxRows);
        EXPECT_EQ(g, (Grid{{"a", "b", ""}, {"a", "b", ""}}));
    }
    // Leading zeros do not make a count large.
    EXPECT_EQ(window(dir, repeatedOds("0000000002"), 1, 2, 3).first,
              (Grid{{"a", "a", "b"}, {"c", "", ""}}));
    for (std::string bad : {"-1", "0", "abc", "2x", ""})
        EXPECT_EQ(partsFailure(repeatedOds(bad)).number, bad.empty() ? 0 : err::kDamagedWorkbook)
            << bad;
}

// A stored (uncompressed) part has no inflater to notice a flipped byte:
// only its CRC-32 tells, and then the file is damaged, not data.
TEST(BadFiles, AStoredPartThatFailsItsChecksumIsDamage) {
    TempDir dir;
    writePackage(dir / "deflated.xlsx", xlsxParts({worksheet("<row><c><v>12345</v></c></row>")}));
    auto r = runPython(
        "import sys, zipfile\nsrc = zipfile.ZipFile(sys.argv[1])\n"
        "dst = zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_STORED)\n"
        "for i in src.infolist(): dst.writestr(i.filename, src.read(i.filename))\n",
        shellQuote((dir / "deflated.xlsx").string()) + " " +
            shellQuote((dir / "stored.xlsx").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(readSheet(dir / "stored.xlsx"), (Grid{{"12345"}}));
    std::string bytes = readFile(dir / "stored.xlsx");
    const size_t at = bytes.find("<v>12345</v>");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 5] = '9';
    writeFile(dir / "flipped.xlsx", bytes);
    EXPECT_TRUE(failsWith(readFailure(dir / "flipped.xlsx"), err::kDamagedWorkbook, "校验和"));
}

}  // namespace
}  // namespace tabrovin::testing
