// How .xlsx and .ods packages are put together: parts are found through their
// relationships, names are matched by namespace, never by the prefix a writer
// chose, a broken package is refused rather than read as empty, and only
// worksheets count as sheets.

#include <gtest/gtest.h>

#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

const std::string kCell = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>甲</t></is></c></row>";

TEST(Packages, TheWorkbookIsWhereTheRootRelationshipSays) {
    const std::string workbook =
        "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs +
        "\"><sheets><sheet name=\"表\" sheetId=\"1\" r:id=\"a\"/>"
        "<sheet name=\"二\" sheetId=\"2\" r:id=\"b\"/></sheets></workbook>";
    const Parts moved = {
        {"_rels/.rels", relations(relation("r", "officeDocument", "/book/main.xml"))},
        {"book/main.xml", workbook},
        {"book/_rels/main.xml.rels", relations(relation("a", "worksheet", "./s/one.xml") +
                                               relation("b", "worksheet", "../other/two.xml"))},
        {"book/s/one.xml", worksheet(kCell)},
        {"other/two.xml", worksheet("<row><c><v>2</v></c></row>")}};
    EXPECT_EQ(readParts(moved, 1), (Grid{{"甲"}}));
    EXPECT_EQ(readParts(moved, 2), (Grid{{"2"}}));
    // Without root relationships (packages put together by hand), it is where it usually is.
    Parts bare = xlsxParts({worksheet(kCell)});
    std::erase_if(bare, [](const auto& part) { return part.first == "_rels/.rels"; });
    EXPECT_EQ(readParts(bare), (Grid{{"甲"}}));
    // A word-processing package is no workbook.
    EXPECT_EQ(partsFailure(
                  {{"_rels/.rels", relations(relation("r", "officeDocument", "word/document.xml"))},
                   {"word/document.xml",
                    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/"
                    "wordprocessingml/2006/main\"/>"}})
                  .number,
              err::kNotWorkbook);
}

TEST(Packages, MissingPartsAreDamageNotEmptySheets) {
    Parts parts = xlsxParts({worksheet(kCell), worksheet(kCell)});
    std::vector<Parts> broken(4, parts);
    broken[0].erase(broken[0].begin() + 1);  // xl/worksheets/sheet2.xml
    setPart(broken[1], "xl/_rels/workbook.xml.rels",
            relations(relation("rId1", "worksheet", "worksheets/sheet1.xml")));
    setPart(broken[2], "_rels/.rels", relations(relation("rId1", "officeDocument", "xl/wb.xml")));
    setPart(broken[3], "xl/_rels/workbook.xml.rels",
            relations(relation("rId1", "worksheet", "worksheets/sheet1.xml") +
                      relation("rId2", "worksheet", "../../outside.xml")));
    for (size_t i = 0; i < broken.size(); ++i)
        EXPECT_EQ(partsFailure(broken[i]).number, err::kDamagedWorkbook) << i;
}

TEST(Packages, ChartSheetsAreNotCounted) {
    const std::string chart = "<chartsheet xmlns=\"" + kMainNs + "\"/>";
    Parts parts = xlsxParts(
        {chart, worksheet(kCell), chart, worksheet("<row r=\"2\"><c r=\"B2\"><v>5</v></c></row>")});
    std::string rels;
    for (std::string n : {"1", "2", "3", "4"})
        rels += relation("rId" + n, n == "1" || n == "3" ? "chartsheet" : "worksheet",
                         "worksheets/sheet" + n + ".xml");
    setPart(parts, "xl/_rels/workbook.xml.rels", relations(rels));
    EXPECT_EQ(readParts(parts, 1), (Grid{{"甲"}}));
    EXPECT_EQ(readParts(parts, 2), (Grid{{"", ""}, {"", "5"}}));
    EXPECT_EQ(partsFailure(parts, 3).number, err::kSubscript);
}

TEST(Packages, OddCellsReadAsASpreadsheetShowsThem) {
    // An inline string with a stale <v>, a shared string without an index,
    // and rows numbered 0 or not at all, which follow the previous row.
    EXPECT_EQ(
        readParts(
            xlsxParts({worksheet("<row r=\"0\"><c t=\"inlineStr\"><v>旧</v><is><t>新</t>"
                                 "</is></c><c t=\"s\"><v></v></c><c t=\"s\"><v>0</v></c></row>"
                                 "<row r=\"0\"><c r=\"B2\"><v>1</v></c></row><row r=\"4\"><c>"
                                 "<v>4</v></c></row><row><c><v>5</v></c></row>")},
                      "", "<si><t>共享</t></si>")),
        (Grid{{"新", "", "共享"}, {"", "1", ""}, {"", "", ""}, {"4", "", ""}, {"5", "", ""}}));
}

TEST(Namespaces, XlsxPrefixesAreTheWritersChoice) {
    // Main vocabulary under "x:", relationships under "rel:".
    Parts parts = xlsxParts({"<x:worksheet xmlns:x=\"" + kMainNs +
                             "\"><x:sheetData><x:row r=\"1\"><x:c r=\"B1\" t=\"inlineStr\"><x:is>"
                             "<x:t>甲</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>"});
    setPart(parts, "xl/workbook.xml",
            "<x:workbook xmlns:x=\"" + kMainNs + "\" xmlns:rel=\"" + kRelNs +
                "\"><x:sheets><x:sheet name=\"S1\" sheetId=\"1\" rel:id=\"rId1\"/></x:sheets>"
                "</x:workbook>");
    EXPECT_EQ(readParts(parts), (Grid{{"", "甲"}}));
    // An element of another vocabulary that shares a local name is not it:
    // an extension's workbookPr must not switch the 1904 date system off, and
    // a foreign <c> is no cell.
    const std::string sheet = worksheet(
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c><o:c xmlns:o=\"urn:other\" r=\"C1\">"
        "<o:v>9</o:v></o:c></row>");
    for (std::string ext : {"x14", "x15"}) {
        EXPECT_EQ(readParts(xlsxParts(
                      {sheet},
                      "<workbookPr date1904=\"1\"/><" + ext + ":workbookPr xmlns:" + ext +
                          "=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main\"/>",
                      "", kDateXf)),
                  (Grid{{"1904/1/1"}}))
            << ext;
    }
}

TEST(Namespaces, OdsPrefixesAreTheWritersChoice) {
    const std::string content =
        R"(<o:document-content xmlns:o="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
        R"( xmlns:t="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
        R"( xmlns:p="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
        R"( xmlns:table="urn:example:not-ods"><o:body><o:spreadsheet>)"
        R"(<table:table table:name="假"/>)"
        R"(<t:table t:name="真"><t:table-row><t:table-cell o:value-type="float" o:value="2">)"
        R"(<p:p>2</p:p></t:table-cell><t:table-cell t:number-columns-repeated="2")"
        R"( o:value-type="string"><p:p>甲<p:s p:c="2"/>乙</p:p></t:table-cell></t:table-row>)"
        R"(</t:table></o:spreadsheet></o:body></o:document-content>)";
    const Parts ods = {{"mimetype", kOdsMime}, {"content.xml", content}};
    EXPECT_EQ(readParts(ods), (Grid{{"2", "甲  乙", "甲  乙"}}));
    EXPECT_EQ(partsFailure(ods, 2).number, err::kSubscript) << "the other vocabulary's table";
}

}  // namespace
}  // namespace tabrovin::testing
