// The export beyond .xls pages: .xlsx pages, one workbook per value of a
// column, the file-name rules, and what stops either before or during it.
#include <set>

#include "app/outcomes.h"
#include "export/run_export.h"
#include "export/split_names.h"
#include "tests/sheets/sheet_test_util.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

TEST(SplitNames, ValuesBecomeSafeFileNames) {
    struct Case {
        std::string value;
        bool null;
        std::string name;
    };
    const std::vector<Case> table = {
        {"北京", false, "北京"},
        {"a\\b/c:d*e?f\"g<h>i|j", false, "a_b_c_d_e_f_g_h_i_j"},
        {"tab\there\x01\x7f", false, "tab_here__"},
        {"ends. . ", false, "ends"},
        {" lead stays", false, " lead stays"},
        {"...", false, "（空）"},
        {"", false, "（空）"},
        {"anything", true, "（空）"},
        {"CON", false, "CON_"},
        {"con", false, "con_"},
        {"Lpt9", false, "Lpt9_"},
        {"COM1.txt", false, "COM1_.txt"},
        {"COM0", false, "COM0"},
        {"CONSOLE", false, "CONSOLE"},
        {"bad\xff"
         "byte",
         false, "bad_byte"},
        {tt::repeat("名", 120), false, tt::repeat("名", 100)},
        {tt::repeat("a", 99) + "😀x", false, tt::repeat("a", 99) + "😀"},
        {tt::repeat("b", 99) + " tail", false, tt::repeat("b", 99)},
    };
    for (const auto& c : table) EXPECT_EQ(safeFileName(c.value, c.null), c.name) << c.value;
}

TEST(SplitNames, EqualNamesTakeNumbersInOrderOfFirstAppearance) {
    SplitNames names;
    EXPECT_EQ(names.claim("abc", 1), "abc");
    EXPECT_EQ(names.claim("ABC", 1), "ABC (2)") << "letter case aside";
    EXPECT_EQ(names.claim("abc", 1), "abc (3)");
    EXPECT_EQ(names.claim("x", 2), "x");          // files x-1 and x-2
    EXPECT_EQ(names.claim("X-2", 1), "X-2 (2)");  // would be the file of x's second page
    EXPECT_EQ(names.claim("（空）", 1), "（空）");
    EXPECT_EQ(names.claim("（空）", 3), "（空） (2)");
    EXPECT_EQ(fileStem("x", 2, 2), "x-2");
    EXPECT_EQ(fileStem("x", 1, 1), "x");
}

class SplitExport : public WorkspaceTest {
  protected:
    // Rows r = 1..n: {city, "n<r>", id card}, cities in turn from `cities`.
    void fillCities(int n, const Names& cities) {
        Rows rows;
        for (int r = 1; r <= n; ++r)
            rows.push_back({cities[(r - 1) % cities.size()], "n" + std::to_string(r),
                            "11010119900307" + std::to_string(1000 + r)});
        fill(rows);
    }
    ExportRequest request(int32_t perFile, PageFormat format = PageFormat::Xls) {
        ExportRequest r({{"城市", 0}, {"姓名", 1}, {"证号", 2}}, perFile);
        r.format = format;
        r.split = SplitBy{0, "城市"};
        r.stamp = "20261207-153000";
        return r;
    }
    fs::path folder() const {
        return ws.paths.exportDir() / tt::u8path("按城市拆分-20261207-153000");
    }
    static Names filesIn(const fs::path& dir) {
        auto names = tt::namesIn(dir);
        return {names.begin(), names.end()};
    }
    Rows read(const std::string& name) {
        const fs::path p = folder() / tt::u8path(name);
        if (name.ends_with(".xls")) return tt::readBook(p).value().at(0).rows;
        Rows g = tt::readSheet(p);
        for (auto& row : g)
            while (!row.empty() && row.back().empty()) row.pop_back();
        return g;
    }
    tt::RecordingProgress progress;
};

TEST_F(SplitExport, OneWorkbookPerValueInOrderOfFirstRow) {
    fillCities(7, {"上海", "北京", "上海", "广州"});  // 上海 北京 上海 广州 上海 北京 上海
    auto r = runExport(ws, request(3), progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->folder, "按城市拆分-20261207-153000");
    EXPECT_EQ(exportDone(*r).text,
              " 完成了导出,4个文件,存于[导出/按城市拆分-20261207-153000]文件夹下.");
    EXPECT_EQ(filesIn(folder()), (Names{"上海-1.xls", "上海-2.xls", "北京.xls", "广州.xls"}));
    EXPECT_EQ(read("上海-1.xls"), (Rows{{"城市", "姓名", "证号"},
                                        {"上海", "n1", "110101199003071001"},
                                        {"上海", "n3", "110101199003071003"},
                                        {"上海", "n5", "110101199003071005"}}));
    EXPECT_EQ(read("上海-2.xls"),
              (Rows{{"城市", "姓名", "证号"}, {"上海", "n7", "110101199003071007"}}));
    EXPECT_EQ(read("北京.xls").size(), 3u);
    EXPECT_EQ(progress.advances,
              (std::vector<std::pair<int64_t, int64_t>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    EXPECT_EQ(countSplitFiles(ws, request(3)).value(), 4);
    // Files come in order of each value's first row, and a stop keeps only
    // whole ones: stopped after two files (two checks each), only 上海's are there.
    tt::RecordingProgress stopping;
    stopping.cancelAfter(4);
    auto some = request(3);
    some.stamp = "early";
    EXPECT_TRUE(tt::failsWith(runExport(ws, some, stopping), err::kCancelled, "2 个文件"));
    EXPECT_EQ(filesIn(ws.paths.exportDir() / tt::u8path("按城市拆分-early")),
              (Names{"上海-1.xls", "上海-2.xls"}));
    // A second run in the same second gets a folder of its own.
    auto again = runExport(ws, request(3), progress);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->folder, "按城市拆分-20261207-153000 (2)");
}

TEST_F(SplitExport, ValuesAreComparedExactlyAsStored) {
    fillCities(6, {"abc", "ABC", "", "x", "abc", "x"});
    ASSERT_TRUE(ws.openConn().ok());
    ASSERT_TRUE(ws.conn.run({"update wen set a0 = NULL where id = 4", {}}).ok());
    auto r = runExport(ws, request(10, PageFormat::Xlsx), progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    // "" and NULL are two values under one name; so are abc and ABC, letter case aside.
    EXPECT_EQ(filesIn(folder()),
              (Names{"ABC (2).xlsx", "abc.xlsx", "x.xlsx", "（空） (2).xlsx", "（空）.xlsx"}));
    EXPECT_EQ(read("abc.xlsx"), (Rows{{"城市", "姓名", "证号"},
                                      {"abc", "n1", "110101199003071001"},
                                      {"abc", "n5", "110101199003071005"}}));
    EXPECT_EQ(read("（空） (2).xlsx"),
              (Rows{{"城市", "姓名", "证号"}, {"", "n4", "110101199003071004"}}));
}

TEST_F(SplitExport, TooManyFilesAreRefusedBeforeAnythingIsWritten) {
    fillCities(12, {"a", "b", "c", "d", "e", "f"});
    auto r = request(1);
    r.maxFiles = 11;
    EXPECT_EQ(countSplitFiles(ws, r).value(), 12);
    EXPECT_TRUE(tt::failsWith(runExport(ws, r, progress), err::kRefused, "12 个文件"));
    EXPECT_TRUE(filesIn(ws.paths.exportDir()).empty()) << "no folder either";
    r.maxFiles = 12;
    ASSERT_TRUE(runExport(ws, r, progress).ok());
    EXPECT_EQ(filesIn(folder()).size(), 12u);
}

TEST_F(SplitExport, AnXlsxTemplateThatCannotServeIsRefusedBeforeAnyFile) {
    fillCities(5, {"a", "b"});
    tt::writeFile(ws.paths.exportXlsxTemplate(), "PK\x03\x04 not really a zip");
    EXPECT_TRUE(
        tt::failsWith(runExport(ws, request(2, PageFormat::Xlsx), progress), err::kNotWorkbook));
    ExportRequest pages({{"城市", 0}}, 2);
    pages.format = PageFormat::Xlsx;
    EXPECT_TRUE(tt::failsWith(runExport(ws, pages, progress), err::kNotWorkbook));
    EXPECT_TRUE(filesIn(ws.paths.exportDir()).empty()) << "neither a page nor a folder";
    fs::remove(ws.paths.exportXlsxTemplate());
    EXPECT_TRUE(tt::failsWith(runExport(ws, pages, progress), err::kFileNotFound));
    EXPECT_TRUE(runExport(ws, {{{"城市", 0}}, 2}, progress).ok()) << ".xls pages need it not";
}

TEST_F(SplitExport, XlsxPagesHoldUpToAMillionRowsAndFailedPagesAreCounted) {
    fillCities(5, {"a", "b"});
    ExportRequest pages({{"姓名", 1}, {"证号", 2}}, 2);
    pages.format = PageFormat::Xlsx;
    fs::create_directory(ws.paths.exportFile(2, ".xlsx"));  // page 2 cannot be written
    auto r = runExport(ws, pages, progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->pages, 3);
    EXPECT_EQ(r->failedPages, std::vector<int>{2});
    EXPECT_EQ(exportDone(*r).icon, Icon::Exclamation);
    EXPECT_EQ(tt::readSheet(ws.paths.exportFile(3, ".xlsx")),
              (Rows{{"姓名", "证号"}, {"n5", "110101199003071005"}}));
    pages.rowsPerWorkbook = kMaxRowsPerXlsxWorkbook;
    EXPECT_TRUE(runExport(ws, pages, progress).ok());
    pages.rowsPerWorkbook = kMaxRowsPerXlsxWorkbook + 1;
    EXPECT_TRUE(tt::failsWith(runExport(ws, pages, progress), err::kRefused, "1048575"));
    pages.format = PageFormat::Xls;
    pages.rowsPerWorkbook = kMaxRowsPerWorkbook + 1;
    EXPECT_TRUE(tt::failsWith(runExport(ws, pages, progress), err::kRefused, "65535"));
}
