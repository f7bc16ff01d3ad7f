// Line ends and escaped characters in cell texts read as spreadsheet
// programs show them.

#include <gtest/gtest.h>

#include "platform/sheets/xml_stream.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

struct TextLog : sheets::XmlHandler {
    std::string log;
    void start(const sheets::XmlName&, const sheets::XmlAttributes& attrs) override {
        for (const auto& a : attrs) log += "[" + std::string(a.value) + "]";
    }
    void end(const sheets::XmlName&) override {}
    void text(std::string_view t) override { log += t; }
};

TEST(XmlText, LineEndsBecomeLfWhereverChunksFall) {
    const std::string doc =
        "<a x='1\r\n2\t3\r4&#10;5&#13;'>p\r\nq\rr\n\ns&#13;\r\n<![CDATA[c\r\nd\r]]>\ne\r</a>";
    for (size_t chunk = 1; chunk <= doc.size(); ++chunk) {
        TextLog events;
        sheets::XmlStream xml(events);
        for (size_t i = 0; i < doc.size(); i += chunk) xml.feed(doc.substr(i, chunk));
        ASSERT_TRUE(xml.finish()) << xml.message();
        EXPECT_EQ(events.log, "[1 2 3 4\n5\r]p\nq\nr\n\ns\r\nc\nd\n\ne\n") << chunk;
    }
}

TEST(XmlText, ExcelEscapesDecodeInEveryKindOfString) {
    TempDir dir;
    const std::string escaped = "a_x000D_b_x005F_x0041__x0000_c_xD83D__xDE00_d_x0041e_xZZZZ_";
    const std::string shown = "a\rb_x0041_c😀d_x0041e_xZZZZ_";
    writePackage(dir / "e.xlsx",
                 xlsxParts({worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                                      "<c r=\"B1\" t=\"inlineStr\"><is><t>" +
                                      escaped + "</t></is></c><c r=\"C1\" t=\"str\"><f>X()</f><v>" +
                                      escaped + "</v></c><c r=\"D1\" t=\"s\"><v>1</v></c></row>")},
                           "", "<si><t>" + escaped + "</t></si><si><t>x\r\ny\rz&#13;</t></si>"));
    EXPECT_EQ(readSheet(dir / "e.xlsx"), (Grid{{shown, shown, shown, "x\ny\nz\r"}}));
}

}  // namespace
}  // namespace tabrovin::testing
