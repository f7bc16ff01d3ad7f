// Workbooks written by xlwt (BIFF8), compared with known values and with two
// independent readers: xlrd and FreeXL.

#include <dlfcn.h>
#include <freexl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/cell_text.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Grid;

const char* kMakeBook = R"PY(
import sys, datetime, xlwt
out = sys.argv[1]
wb = xlwt.Workbook(encoding='utf-8')
ws = wb.add_sheet('数据')
for c, v in enumerate(['姓名', '电话', '金额', '编号', '备注']): ws.write(0, c, v)
for c, v in enumerate(['张三', 13800138000, 3.0, '007', 'He said "hi"']): ws.write(1, c, v)
ws.write(2, 0, '李四'); ws.write(2, 1, 0.1); ws.write(2, 2, 1234.5); ws.write(2, 4, '第一行\n第二行')
ws.write(3, 0, datetime.date(2024, 3, 5), xlwt.easyxf(num_format_str='yyyy/m/d'))
ws.write(3, 1, datetime.datetime(2024, 3, 5, 14, 30), xlwt.easyxf(num_format_str='yyyy/m/d h:mm'))
ws.write(3, 2, datetime.time(14, 30, 0), xlwt.easyxf(num_format_str='h:mm:ss'))
ws.write(3, 3, True); ws.write(3, 4, False)
ws.row(4).set_cell_error(0, 0x07); ws.row(4).set_cell_error(1, 0x2A)
ws.row(4).set_cell_error(2, 0x0F); ws.write(4, 3, -42); ws.write(4, 4, -0.5)
if len(sys.argv) < 3: ws.write(5, 0, ('长文字' + 'abc') * 2000)
for c, e in enumerate([0x00, 0x17, 0x1D, 0x24]): ws.row(6).set_cell_error(c, e)
wb.add_sheet('空表')
ws = wb.add_sheet('格式')
for r in range(300):
    ws.write(r, 0, '行%d' % (r + 1)); ws.write(r, 2, r * 1.5)
ws.write(65535, 9, None, xlwt.easyxf('pattern: pattern solid;'))
ws.write(1000, 5, '', xlwt.easyxf('pattern: pattern solid;'))
ws = wb.add_sheet('多串')
for r in range(3000):
    ws.write(r, 0, '字符串%05d的内容' % r); ws.write(r, 1, r)
ws = wb.add_sheet('隐藏')
ws.visibility = 1
ws.write(0, 0, '隐藏的表')
wb.save(out)
)PY";

class XlwtBook : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testing::TempDir;
        auto r = testing::runPython(kMakeBook, testing::shellQuote(path().string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        book_ = new std::vector<Grid>(testutil::readBook(path()));
    }
    static void TearDownTestSuite() {
        delete book_;
        delete dir_;
    }
    static fs::path path() { return *dir_ / "xlwt.xls"; }
    static const Grid& sheet(size_t n) { return book_->at(n - 1); }
    static testing::TempDir* dir_;
    static std::vector<Grid>* book_;
};
testing::TempDir* XlwtBook::dir_ = nullptr;
std::vector<Grid>* XlwtBook::book_ = nullptr;

TEST_F(XlwtBook, TextNumbersAndEmptyCells) {
    ASSERT_EQ(book_->size(), 5u);
    const Grid& g = sheet(1);
    ASSERT_EQ(g.size(), 7u);
    EXPECT_EQ(g[0], (std::vector<std::string>{"姓名", "电话", "金额", "编号", "备注"}));
    EXPECT_EQ(g[1],
              (std::vector<std::string>{"张三", "13800138000", "3", "007", "He said \"hi\""}));
    EXPECT_EQ(g[2], (std::vector<std::string>{"李四", "0.1", "1234.5", "", "第一行\n第二行"}));
    EXPECT_EQ(g[4][3], "-42");
    EXPECT_EQ(g[4][4], "-0.5");
}

TEST_F(XlwtBook, DatesTimesBooleansAndErrors) {
    const Grid& g = sheet(1);
    EXPECT_EQ(g[3], (std::vector<std::string>{"2024/3/5", "2024/3/5 14:30", "14:30:00", "TRUE",
                                              "FALSE"}));
    EXPECT_EQ(g[4][0], "#DIV/0!");
    EXPECT_EQ(g[4][1], "#N/A");
    EXPECT_EQ(g[4][2], "#VALUE!");
    EXPECT_EQ(g[6], (std::vector<std::string>{"#NULL!", "#REF!", "#NAME?", "#NUM!", ""}));
}

TEST_F(XlwtBook, LongTextCrossesContinueRecords) {
    std::string expected;
    for (int i = 0; i < 2000; ++i) expected += "长文字abc";
    ASSERT_GT(expected.size(), 8224u * 2);
    EXPECT_EQ(sheet(1)[5][0], expected);
}

TEST_F(XlwtBook, SizeCountsOnlyCellsWithValues) {
    EXPECT_TRUE(sheet(2).empty());
    const Grid& g = sheet(3);
    ASSERT_EQ(g.size(), 300u);  // formatted down to row 65536, filled to row 300
    ASSERT_EQ(g[0].size(), 3u);
    EXPECT_EQ(g[299][0], "行300");
    EXPECT_EQ(g[299][1], "");
    EXPECT_EQ(g[299][2], "448.5");
}

TEST_F(XlwtBook, ThousandsOfSharedStrings) {
    const Grid& g = sheet(4);
    ASSERT_EQ(g.size(), 3000u);
    for (int r : {0, 1, 1234, 2999}) {
        char want[64];
        std::snprintf(want, sizeof want, "字符串%05d的内容", r);
        EXPECT_EQ(g[r][0], want);
        EXPECT_EQ(g[r][1], std::to_string(r));
    }
}

TEST_F(XlwtBook, HiddenSheetsKeepTheirNumbersAndMissingOnesAreSubscriptErrors) {
    EXPECT_EQ(sheet(5), (Grid{{"隐藏的表"}}));
    auto book = openXlsWorkbook(path());
    ASSERT_TRUE(book.ok());
    EXPECT_EQ((*book)->sheetCount(), 5);
    for (int n : {0, 6, -1}) {
        auto s = (*book)->worksheet(n);
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error().number, err::kSubscript);
    }
}

TEST_F(XlwtBook, ReadRowsPadsAndWindows) {
    auto book = openXlsWorkbook(path());
    ASSERT_TRUE(book.ok());
    auto s = (*book)->worksheet(3);
    ASSERT_TRUE(s.ok());
    std::vector<std::pair<int32_t, std::vector<std::string>>> got;
    Status st = (*s)->readRows(299, 302, 5, [&](int32_t r, const std::vector<std::string>& c) {
        got.emplace_back(r, c);
        return Status::Ok();
    });
    ASSERT_TRUE(st.ok());
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].first, 299);
    EXPECT_EQ(got[1].second, (std::vector<std::string>{"行300", "", "448.5", "", ""}));
    EXPECT_EQ(got[3].first, 302);
    EXPECT_EQ(got[3].second, std::vector<std::string>(5, ""));
    // A sink's error stops the read and comes back unchanged.
    int calls = 0;
    st = (*s)->readRows(1, 300, 2, [&](int32_t, const std::vector<std::string>&) {
        return ++calls == 3 ? Status(Error{err::kTooManyRows, "stop"}) : Status::Ok();
    });
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().number, err::kTooManyRows);
    EXPECT_EQ(calls, 3);
}

TEST_F(XlwtBook, AgreesWithXlrd) {
    auto theirs = testutil::readWithXlrd(path());
    ASSERT_EQ(theirs.size(), book_->size());
    for (size_t n = 0; n < theirs.size(); ++n)
        EXPECT_EQ((*book_)[n], theirs[n]) << "sheet " << n + 1;
}

// FreeXL, loaded at run time so the library is needed by this test only.
struct FreeXl {
    void* lib = dlopen("libfreexl.so.1", RTLD_NOW);
    decltype(&freexl_open) open = sym<decltype(&freexl_open)>("freexl_open");
    decltype(&freexl_close) close = sym<decltype(&freexl_close)>("freexl_close");
    decltype(&freexl_get_info) info = sym<decltype(&freexl_get_info)>("freexl_get_info");
    decltype(&freexl_select_active_worksheet) select =
        sym<decltype(&freexl_select_active_worksheet)>("freexl_select_active_worksheet");
    decltype(&freexl_worksheet_dimensions) dims =
        sym<decltype(&freexl_worksheet_dimensions)>("freexl_worksheet_dimensions");
    decltype(&freexl_get_cell_value) cell =
        sym<decltype(&freexl_get_cell_value)>("freexl_get_cell_value");
    template <class F>
    F sym(const char* name) {
        return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
    }
};

// FreeXL's dates are ISO; the program shows them without leading zeros.
std::string freexlText(const FreeXL_CellValue& v) {
    int y, m, d, hh, mm, ss;
    switch (v.type) {
        case FREEXL_CELL_INT:
            return std::to_string(v.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return cell_text::number(v.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            return v.value.text_value;
        case FREEXL_CELL_DATE:
            std::sscanf(v.value.text_value, "%d-%d-%d", &y, &m, &d);
            return std::to_string(y) + "/" + std::to_string(m) + "/" + std::to_string(d);
        case FREEXL_CELL_DATETIME:
            std::sscanf(v.value.text_value, "%d-%d-%d %d:%d:%d", &y, &m, &d, &hh, &mm, &ss);
            return std::to_string(y) + "/" + std::to_string(m) + "/" + std::to_string(d) + " " +
                   std::to_string(hh) + ":" + (mm < 10 ? "0" : "") + std::to_string(mm);
        case FREEXL_CELL_TIME:
            std::sscanf(v.value.text_value, "%d:%d:%d", &hh, &mm, &ss);
            return std::to_string(hh) + std::string(v.value.text_value + 2);
        default:
            return "";
    }
}

// FreeXL 1.0.6 gives up (an empty handle) on the text that crosses CONTINUE
// records, so it reads the same workbook without that cell.
TEST_F(XlwtBook, AgreesWithFreeXlOnEveryCellItReads) {
    FreeXl x;
    if (!x.lib || !x.open || !x.cell) GTEST_SKIP() << "libfreexl.so.1 is not installed";
    fs::path file = *dir_ / "freexl.xls";
    auto r = testing::runPython(kMakeBook, testing::shellQuote(file.string()) + " short");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto book = testutil::readBook(file);
    const void* h = nullptr;
    ASSERT_EQ(x.open(file.c_str(), &h), FREEXL_OK);
    ASSERT_NE(h, nullptr);
    unsigned count = 0;
    ASSERT_EQ(x.info(h, FREEXL_BIFF_SHEET_COUNT, &count), FREEXL_OK);
    ASSERT_EQ(count, book.size());
    int compared = 0;
    for (unsigned n = 0; n < count; ++n) {
        ASSERT_EQ(x.select(h, static_cast<unsigned short>(n)), FREEXL_OK);
        unsigned rows = 0;
        unsigned short cols = 0;
        ASSERT_EQ(x.dims(h, &rows, &cols), FREEXL_OK);
        const Grid& mine = book[n];
        for (unsigned r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                ASSERT_EQ(x.cell(h, r, c, &v), FREEXL_OK);
                if (v.type == FREEXL_CELL_NULL) continue;
                std::string theirs = freexlText(v);
                std::string ours = r < mine.size() && c < mine[r].size() ? mine[r][c] : "";
                // FreeXL hands booleans over as 1/0 and errors as numbers.
                if (ours == "TRUE" || ours == "FALSE") theirs = theirs == "1" ? "TRUE" : "FALSE";
                if (!ours.empty() && ours[0] == '#') continue;
                EXPECT_EQ(ours, theirs)
                    << "sheet " << n + 1 << " row " << r + 1 << " col " << c + 1;
                ++compared;
            }
        }
    }
    x.close(h);
    EXPECT_GT(compared, 6000);
}

}  // namespace
}  // namespace tabrovin::xls
