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

// The error of opening and reading sheet 1 of `path` whole, and how long it took.
std::pair<Error, double> refusal(const std::filesystem::path& path) {
    auto start = std::chrono::steady_clock::now();
    Error e;
    auto book = openWorkbookFile(path);
    if (!book.ok()) {
        e = book.error();
    } else if (auto sheet = (*book)->worksheet(1); !sheet.ok()) {
        e = sheet.error();
    } else {
        SheetSize size = (*sheet)->size();
        Status s = (*sheet)->readRows(1, size.rows, size.columns,
                                      [](int32_t, const Row&) { return Status::Ok(); });
        if (!s.ok()) e = s.error();
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {e, took.count()};
}

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

TEST(Bombs, PartsInflatingBeyondAnyWorkbookAreRefusedBeforeInflating) {
    TempDir dir;
    const std::string sheet = worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
    // 48 MB of shared strings deflated a thousand times.
    std::string strings;
    for (int i = 0; i < 3'000'000; ++i) strings += "<si><t>A</t></si>";
    writePackage(dir / "strings.xlsx", xlsxParts({sheet}, "", strings));
    // A sheet part whose directory entry claims 3 GB.
    writePackage(dir / "declared.xlsx", xlsxParts({sheet}, "", "<si><t>x</t></si>"));
    declareSize(dir / "declared.xlsx", "xl/worksheets/sheet1.xml", 3'000'000'000u);
    for (const char* name : {"strings.xlsx", "declared.xlsx"}) {
        auto [e, seconds] = refusal(dir / name);
        EXPECT_EQ(e.number, err::kDamagedWorkbook) << name;
        EXPECT_NE(e.description.find("已损坏或过大"), std::string::npos) << e.description;
        EXPECT_NE(e.description.find(" MB"), std::string::npos) << e.description;
        EXPECT_LT(seconds, 5.0) << name;
    }
}

TEST(Bombs, WorkbookWideListsAreBounded) {
    TempDir dir;
    std::string sheets;
    for (size_t i = 0; i <= sheets::kMaxSheets; ++i) sheets += "<sheet name=\"a\" r:id=\"rId1\"/>";
    Parts parts = xlsxParts({worksheet("")});
    setPart(parts, "xl/workbook.xml",
            "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs + "\"><sheets>" + sheets +
                "</sheets></workbook>");
    writePackage(dir / "sheets.xlsx", parts);
    EXPECT_EQ(refusal(dir / "sheets.xlsx").first.number, err::kDamagedWorkbook);

    std::string xfs;
    for (size_t i = 0; i <= sheets::kMaxStyles; ++i) xfs += "<xf/>";
    parts = xlsxParts({worksheet("")});
    setPart(parts, "xl/_rels/workbook.xml.rels",
            relations(relation("rId1", "worksheet", "worksheets/sheet1.xml") +
                      relation("rId2", "styles", "styles.xml")));
    setPart(parts, "xl/styles.xml",
            "<styleSheet xmlns=\"" + kMainNs + "\"><cellXfs>" + xfs + "</cellXfs></styleSheet>");
    writePackage(dir / "styles.xlsx", parts);
    EXPECT_EQ(refusal(dir / "styles.xlsx").first.number, err::kDamagedWorkbook);
}

// One long text repeated across a whole row would have to be held 16,384 times.
TEST(Bombs, ALongTextRepeatedAcrossARowIsRefused) {
    TempDir dir;
    std::string text;
    for (size_t i = 0; i < sheets::kMaxCellCharacters; ++i) text += "字";
    std::string cells;
    for (int c = 0; c < kMaxColumns; ++c) cells += "<c t=\"s\"><v>0</v></c>";
    writePackage(dir / "row.xlsx", xlsxParts({worksheet("<row r=\"1\">" + cells + "</row>")}, "",
                                             "<si><t>" + text + "</t></si>"));
    writePackage(
        dir / "row.ods",
        {{"mimetype", kOdsMime},
         {"content.xml",
          R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
          R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
          R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>)"
          R"(<office:spreadsheet><table:table table:name="t"><table:table-row>)"
          R"(<table:table-cell table:number-columns-repeated="16384"><text:p>)" +
              text +
              "</text:p></table:table-cell></table:table-row></table:table>"
              "</office:spreadsheet></office:body></office:document-content>"}});
    for (const char* name : {"row.xlsx", "row.ods"}) {
        auto [e, seconds] = refusal(dir / name);
        EXPECT_EQ(e.number, err::kDamagedWorkbook) << name;
        EXPECT_NE(e.description.find("第1行"), std::string::npos) << e.description;
    }
}

// An .ods sheet whose first row is `cell` then a cell "b", and whose second row holds "c".
std::string odsContent(const std::string& cell, const std::string& rowRepeat = "") {
    return R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
           R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
           R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>)"
           R"(<office:spreadsheet><table:table table:name="t"><table:table-row)" +
           (rowRepeat.empty() ? "" : " table:number-rows-repeated=\"" + rowRepeat + "\"") + ">" +
           cell +
           R"(<table:table-cell office:value-type="string"><text:p>b</text:p></table:table-cell>)"
           R"(</table:table-row><table:table-row><table:table-cell><text:p>c</text:p>)"
           "</table:table-cell></table:table-row></table:table></office:spreadsheet>"
           "</office:body></office:document-content>";
}

TEST(Bombs, OdsRepeatCountsReachTheSheetsEdgeOrRefuseTheFile) {
    TempDir dir;
    auto open = [&](const std::string& content) {
        writePackage(dir / "r.ods", {{"mimetype", kOdsMime}, {"content.xml", content}});
        return openWorkbookFile(dir / "r.ods");
    };
    for (std::string count : {"1000000000", "2147483648", "99999999999999999999"}) {
        // Columns: "a" fills the row to its last column; "b" falls beyond it.
        auto book = open(odsContent("<table:table-cell table:number-columns-repeated=\"" + count +
                                    "\"><text:p>a</text:p>"
                                    "</table:table-cell>"));
        ASSERT_TRUE(book.ok()) << book.error().description;
        auto sheet = (*book)->worksheet(1);
        ASSERT_TRUE(sheet.ok()) << sheet.error().description;
        EXPECT_EQ((*sheet)->size().columns, kMaxColumns) << count;
        Grid g;
        ASSERT_TRUE(readGrid(**sheet, 1, 2, 3, g).ok());
        EXPECT_EQ(g, (Grid{{"a", "a", "a"}, {"c", "", ""}})) << count;
        // Rows: the first row repeats to the sheet's last row; the second falls beyond it.
        book = open(odsContent("", count));
        ASSERT_TRUE(book.ok());
        sheet = (*book)->worksheet(1);
        ASSERT_TRUE(sheet.ok());
        EXPECT_EQ((*sheet)->size().rows, kMaxRows) << count;
        g.clear();
        ASSERT_TRUE(readGrid(**sheet, kMaxRows - 1, kMaxRows, 2, g).ok());
        EXPECT_EQ(g, (Grid{{"b", ""}, {"b", ""}})) << count;
    }
    // Leading zeros do not make a count large.
    writePackage(
        dir / "zeros.ods",
        {{"mimetype", kOdsMime},
         {"content.xml", odsContent("<table:table-cell table:number-columns-repeated="
                                    "\"0000000002\"><text:p>a</text:p></table:table-cell>")}});
    EXPECT_EQ(readSheet(dir / "zeros.ods"), (Grid{{"a", "a", "b"}, {"c", "", ""}}));
    for (std::string bad : {"-1", "0", "abc", "2x", ""}) {
        writePackage(
            dir / "bad.ods",
            {{"mimetype", kOdsMime},
             {"content.xml", odsContent("<table:table-cell table:number-columns-repeated=\"" + bad +
                                        "\"><text:p>a</text:p></table:table-cell>")}});
        int expected = bad.empty() ? 0 : err::kDamagedWorkbook;
        EXPECT_EQ(readError(dir / "bad.ods"), expected) << bad;
    }
}

}  // namespace
}  // namespace tabrovin::testing
