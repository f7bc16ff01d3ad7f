// Files built to cost gigabytes or minutes are refused early as damaged or
// too large, and repeat counts never shift cells into other columns.

#include <gtest/gtest.h>

#include <chrono>

#include "platform/sheets/limits.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

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
    std::string strings, sheetList, xfs, cells, text = repeat("字", sheets::kMaxCellCharacters);
    for (int i = 0; i < 3'000'000; ++i) strings += "<si><t>A</t></si>";  // 48 MB, deflated 1000x
    for (size_t i = 0; i <= sheets::kMaxSheets; ++i)
        sheetList += "<sheet name=\"a\" r:id=\"rId1\"/>";
    for (size_t i = 0; i <= sheets::kMaxStyles; ++i) xfs += "<xf/>";
    for (int c = 0; c < kMaxColumns; ++c) cells += "<c t=\"s\"><v>0</v></c>";
    const std::string sheet = worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
    Parts manySheets = xlsxParts({sheet});
    setPart(manySheets, "xl/workbook.xml",
            "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs + "\"><sheets>" + sheetList +
                "</sheets></workbook>");
    const std::tuple<const char*, Parts, const char*> cases[] = {
        {"strings.xlsx", xlsxParts({sheet}, "", strings), "可能是压缩炸弹"},
        {"declared.xlsx", xlsxParts({sheet}, "", "<si><t>x</t></si>"), "2861 MB"},  // claims 3 GB
        {"sheets.xlsx", manySheets, "工作表超过"},
        {"styles.xlsx", xlsxParts({sheet}, "", "", xfs), "单元格格式超过"},
        // One long text repeated across a whole row would be held 16,384 times.
        {"row.xlsx",
         xlsxParts({worksheet("<row r=\"1\">" + cells + "</row>")}, "",
                   "<si><t>" + text + "</t></si>"),
         "第1行的内容超过"},
        {"row.ods",
         odsParts("<table:table-row><table:table-cell table:number-columns-repeated=\"16384\">"
                  "<text:p>" +
                  text + "</text:p></table:table-cell></table:table-row>"),
         "第1行的内容超过"}};
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

}  // namespace
}  // namespace tabrovin::testing
