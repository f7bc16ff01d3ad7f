// Names are matched by namespace, never by the prefix a writer chose.

#include <gtest/gtest.h>

#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

TEST(Namespaces, XlsxPrefixesAreTheWritersChoice) {
    TempDir dir;
    // Main vocabulary under "x:", relationships under "rel:".
    Parts parts = xlsxParts({"<x:worksheet xmlns:x=\"" + kMainNs +
                             "\"><x:sheetData><x:row r=\"1\"><x:c r=\"B1\" t=\"inlineStr\"><x:is>"
                             "<x:t>甲</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>"});
    setPart(parts, "xl/workbook.xml",
            "<x:workbook xmlns:x=\"" + kMainNs + "\" xmlns:rel=\"" + kRelNs +
                "\"><x:sheets><x:sheet name=\"S1\" sheetId=\"1\" rel:id=\"rId1\"/></x:sheets>"
                "</x:workbook>");
    writePackage(dir / "prefixes.xlsx", parts);
    EXPECT_EQ(readSheet(dir / "prefixes.xlsx"), (Grid{{"", "甲"}}));

    // An element of another vocabulary that shares a local name is not it:
    // an extension's workbookPr must not switch the 1904 date system off, and
    // a foreign <c> is no cell.
    const std::string sheet = worksheet(
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c><o:c xmlns:o=\"urn:other\" r=\"C1\">"
        "<o:v>9</o:v></o:c></row>");
    for (std::string ext : {"x14", "x15"}) {
        writePackage(dir / "ext.xlsx",
                     xlsxParts({sheet},
                               "<workbookPr date1904=\"1\"/><" + ext + ":workbookPr xmlns:" + ext +
                                   "=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/"
                                   "main\"/>",
                               "", kDateXf));
        EXPECT_EQ(readSheet(dir / "ext.xlsx"), (Grid{{"1904/1/1"}})) << ext;
    }
}

TEST(Namespaces, OdsPrefixesAreTheWritersChoice) {
    TempDir dir;
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
    writePackage(dir / "p.ods", {{"mimetype", kOdsMime}, {"content.xml", content}});
    auto book = openWorkbookFile(dir / "p.ods");
    ASSERT_TRUE(book.ok()) << book.error().description;
    EXPECT_EQ((*book)->sheetCount(), 1);
    EXPECT_EQ(readSheet(dir / "p.ods"), (Grid{{"2", "甲  乙", "甲  乙"}}));
}

}  // namespace
}  // namespace tabrovin::testing
