// How an .xlsx package is put together: its parts are found through their
// relationships, a broken package is refused rather than read as empty, and
// only worksheets count as sheets.

#include <gtest/gtest.h>

#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

const std::string kCell = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>甲</t></is></c></row>";

TEST(Packages, TheWorkbookIsWhereTheRootRelationshipSays) {
    TempDir dir;
    const std::string workbook =
        "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs +
        "\"><sheets><sheet name=\"表\" sheetId=\"1\" r:id=\"a\"/>"
        "<sheet name=\"二\" sheetId=\"2\" r:id=\"b\"/></sheets></workbook>";
    writePackage(
        dir / "moved.xlsx",
        {{"_rels/.rels", relations(relation("r", "officeDocument", "/book/main.xml"))},
         {"book/main.xml", workbook},
         {"book/_rels/main.xml.rels", relations(relation("a", "worksheet", "./s/one.xml") +
                                                relation("b", "worksheet", "../other/two.xml"))},
         {"book/s/one.xml", worksheet(kCell)},
         {"other/two.xml", worksheet("<row><c><v>2</v></c></row>")}});
    EXPECT_EQ(readSheet(dir / "moved.xlsx", 1), (Grid{{"甲"}}));
    EXPECT_EQ(readSheet(dir / "moved.xlsx", 2), (Grid{{"2"}}));
    // Without root relationships (packages put together by hand), it is where it usually is.
    Parts bare = xlsxParts({worksheet(kCell)});
    std::erase_if(bare, [](const auto& part) { return part.first == "_rels/.rels"; });
    writePackage(dir / "bare.xlsx", bare);
    EXPECT_EQ(readSheet(dir / "bare.xlsx"), (Grid{{"甲"}}));

    // A word-processing package is no workbook.
    writePackage(dir / "letter.xlsx",
                 {{"_rels/.rels", relations(relation("r", "officeDocument", "word/document.xml"))},
                  {"word/document.xml",
                   "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                   "2006/main\"/>"}});
    EXPECT_EQ(readError(dir / "letter.xlsx"), err::kNotWorkbook);
}

TEST(Packages, MissingPartsAreDamageNotEmptySheets) {
    TempDir dir;
    Parts parts = xlsxParts({worksheet(kCell), worksheet(kCell)});
    std::vector<Parts> broken(4, parts);
    broken[0].erase(broken[0].begin() + 1);  // xl/worksheets/sheet2.xml
    setPart(broken[1], "xl/_rels/workbook.xml.rels",
            relations(relation("rId1", "worksheet", "worksheets/sheet1.xml")));
    setPart(broken[2], "_rels/.rels", relations(relation("rId1", "officeDocument", "xl/wb.xml")));
    setPart(broken[3], "xl/_rels/workbook.xml.rels",
            relations(relation("rId1", "worksheet", "worksheets/sheet1.xml") +
                      relation("rId2", "worksheet", "../../outside.xml")));
    for (size_t i = 0; i < broken.size(); ++i) {
        writePackage(dir / "broken.xlsx", broken[i]);
        EXPECT_EQ(readError(dir / "broken.xlsx"), err::kDamagedWorkbook) << i;
    }
}

TEST(Packages, ChartSheetsAreNotCounted) {
    TempDir dir;
    const std::string chart = "<chartsheet xmlns=\"" + kMainNs + "\"/>";
    Parts parts = xlsxParts(
        {chart, worksheet(kCell), chart, worksheet("<row r=\"2\"><c r=\"B2\"><v>5</v></c></row>")});
    std::string rels;
    for (std::string n : {"1", "2", "3", "4"})
        rels += relation("rId" + n, n == "1" || n == "3" ? "chartsheet" : "worksheet",
                         "worksheets/sheet" + n + ".xml");
    setPart(parts, "xl/_rels/workbook.xml.rels", relations(rels));
    writePackage(dir / "charts.xlsx", parts);
    auto book = openWorkbookFile(dir / "charts.xlsx");
    ASSERT_TRUE(book.ok()) << book.error().description;
    EXPECT_EQ((*book)->sheetCount(), 2);
    EXPECT_EQ(readSheet(dir / "charts.xlsx", 1), (Grid{{"甲"}}));
    EXPECT_EQ(readSheet(dir / "charts.xlsx", 2), (Grid{{"", ""}, {"", "5"}}));
}

TEST(Packages, OddCellsReadAsASpreadsheetShowsThem) {
    TempDir dir;
    // An inline string with a stale <v>, a shared string without an index,
    // and rows numbered 0 or not at all, which follow the previous row.
    writePackage(dir / "odd.xlsx",
                 xlsxParts({worksheet("<row r=\"0\"><c t=\"inlineStr\"><v>旧</v><is><t>新</t>"
                                      "</is></c><c t=\"s\"><v></v></c><c t=\"s\"><v>0</v></c></row>"
                                      "<row r=\"0\"><c r=\"B2\"><v>1</v></c></row><row r=\"4\"><c>"
                                      "<v>4</v></c></row><row><c><v>5</v></c></row>")},
                           "", "<si><t>共享</t></si>"));
    EXPECT_EQ(
        readSheet(dir / "odd.xlsx"),
        (Grid{{"新", "", "共享"}, {"", "1", ""}, {"", "", ""}, {"4", "", ""}, {"5", "", ""}}));
}

}  // namespace
}  // namespace tabrovin::testing
