// A template's first worksheet taken apart: what stays as it is, what row 1
// keeps for the headings, and which row numbers move below a page.

#include "platform/sheets/xlsx_template.h"

#include <gtest/gtest.h>

namespace tabrovin::sheets::xlsx_template {
namespace {

const char* kSheet =
    R"(<worksheet><dimension ref="A1:C6"/><cols><col min="2" max="3" style="4"/></cols>)"
    R"(<sheetData><row r="1" spans="1:3"><c r="A1" s="1" t="s"><v>0</v></c><c r="C1"><v>5</v></c></row>)"
    R"(<row r="3"><c r="B3"><f t="shared" ref="B3:B4" si="0">A3*2</f><v>2</v></c></row>)"
    R"(<row><c><v>1</v></c></row></sheetData>)"
    R"(<mergeCells count="2"><mergeCell ref="A1:B6"/><mergeCell ref="A5:C6"/></mergeCells>)"
    R"(<hyperlinks><hyperlink ref="$C$7" r:id="x"/></hyperlinks><!-- <row r="9"> --></worksheet>)";

TEST(XlsxTemplateSheet, RowsBelowRowOneAndTheRangesAfterTheDataMove) {
    XlsxTemplate::Impl t;
    ASSERT_TRUE(parseSheet(kSheet, t).ok());
    EXPECT_EQ(t.row1Open, R"(<row r="1">)") << "its span is only a hint";
    EXPECT_EQ(t.columnStyles, (std::vector<std::string>{"", "4", "4"}));
    // Page readers count the cells themselves; only Excel reads the dimension.
    EXPECT_EQ(std::pair(t.lastRow, t.lastColumn), std::pair(int64_t{4}, size_t{3}));

    std::string below, tail;
    ASSERT_TRUE(render(t.below, 10, below).ok());
    // Numbered or not, rows and cells get their new numbers; the formula's
    // text keeps pointing where it did.
    EXPECT_EQ(
        below,
        R"(<row r="13"><c r="B13"><f t="shared" ref="B13:B14" si="0">A3*2</f><v>2</v></c></row>)"
        R"(<row r="14"><c r="A14"><v>1</v></c></row>)");
    ASSERT_TRUE(render(t.tail, 10, tail).ok());
    EXPECT_EQ(
        tail,
        R"(<mergeCells count="2"><mergeCell ref="A1:B16"/><mergeCell ref="A15:C16"/></mergeCells>)"
        R"(<hyperlinks><hyperlink ref="$C$17" r:id="x"/></hyperlinks><!-- <row r="9"> --></worksheet>)");
    // A range may stop at the last row; a row may not start past it.
    tail.clear();
    EXPECT_EQ(render(t.tail, 1048572, tail).error().number, err::kTooManyRows);
    below.clear();
    EXPECT_EQ(render(t.below, 1048574, below).error().number, err::kTooManyRows);
}

TEST(XlsxTemplateSheet, AnEmptySheetDataAndAPrefixAreKept) {
    XlsxTemplate::Impl t;
    ASSERT_TRUE(
        parseSheet(R"(<x:worksheet xmlns:x="m"><x:sheetData/><x:pageMargins/></x:worksheet>)", t)
            .ok());
    EXPECT_EQ(t.prefix, "x:");
    EXPECT_EQ(t.head, R"(<x:worksheet xmlns:x="m">)");
    std::string tail;
    ASSERT_TRUE(render(t.tail, 5, tail).ok());
    EXPECT_EQ(tail, "<x:pageMargins/></x:worksheet>");
    XlsxTemplate::Impl none;
    EXPECT_EQ(parseSheet("<worksheet></worksheet>", none).error().number, err::kDamagedWorkbook);
    EXPECT_EQ(columnLetters(1), "A");
    EXPECT_EQ(columnLetters(28), "AB");
    EXPECT_EQ(columnLetters(16384), "XFD");
}

}  // namespace
}  // namespace tabrovin::sheets::xlsx_template
