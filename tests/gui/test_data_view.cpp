// The data view over a million-row working table: what it reads to show a
// screen, how its filter controls work, and what it shows when reading fails.

#include <QComboBox>
#include <QScrollBar>
#include <QTableView>

#include "app/qt/data_view.h"
#include "core/paths.h"
#include "tests/gui/gui_support.h"
#include "tests/support/read_numbers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNames = {"姓名", "关键字", "备注"};

class DataViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApplication();
        view = std::make_unique<DataView>();
        view->resize(900, 600);
    }
    void showView(const fs::path& file, const std::vector<std::string>& names = kNames) {
        view->reload(file, names);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        counted();
    }
    // Waits for the count, which runs off the window's thread, then paints.
    void counted() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !view->counting(); }, 60000));
        settle();
    }
    // Lets the table paint, which is when it asks the model for rows.
    void settle() {
        table()->viewport()->repaint();
        QApplication::processEvents();
    }
    template <class T>
    T* find(const char* name) {
        return childOf<T>(view.get(), name);
    }
    QTableView* table() { return find<QTableView>("dataTable"); }
    QString label() { return find<QLabel>("rowCountLabel")->text(); }
    std::string cell(int row, int column) {
        return view->model()->index(row, column).data().toString().toStdString();
    }
    // The first row the table shows at its top and at its bottom.
    int topRow() { return table()->rowAt(2); }
    int bottomRow() { return table()->rowAt(table()->viewport()->height() - 2); }
    static std::vector<int64_t> ids(Database& db, const std::string& sql) {
        auto got = readNumbers(db, {sql, {}});
        EXPECT_TRUE(got.ok());
        return got.ok() ? *got : std::vector<int64_t>{};
    }

    TempDir dir;
    std::unique_ptr<DataView> view;
};

// Made once per test program: the million rows take seconds to write.
class BigTableTest : public DataViewTest {
  protected:
    // 1,100,000 rows with every eleventh deleted: a million rows whose ids
    // have gaps. a1 is "key<n>" in mixed case, or null.
    static void SetUpTestSuite() {
        Database db;
        ASSERT_TRUE(db.open(bigFile).ok());
        ASSERT_TRUE(db.run({"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n "
                            "WHERE x<1100000) INSERT INTO wen (a0,a1,a2) SELECT 'r'||x, "
                            "CASE x%3 WHEN 0 THEN 'Key'||(x%1000) WHEN 1 THEN 'kEY'||(x%1000) "
                            "END, 'note' FROM n",
                            {}})
                        .ok());
        ASSERT_TRUE(db.run({"DELETE FROM wen WHERE id%11=0", {}}).ok());
    }
    static inline TempDir big;
    static inline const fs::path bigFile = ProgramPaths(makeProgramFolder(big.path())).workingDb();
};

TEST_F(BigTableTest, ShowsFirstScreenEndAndMiddleOfAMillionRowsReadingOnlyThose) {
    showView(bigFile);
    EXPECT_EQ(label(), QString::fromUtf8("共 1000000 行"));
    TableModel& model = *view->model();
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("关键字"));
    // The first screen was painted from one block, found without stepping.
    const TablePageReader& reader = model.reader();
    EXPECT_EQ(reader.rowsRead(), TableModel::kBlockRows);
    EXPECT_EQ(reader.idsSkipped(), 0);
    EXPECT_EQ(topRow(), 0);
    EXPECT_EQ((std::vector{cell(0, 0), cell(0, 1), cell(0, 2)}),
              (std::vector<std::string>{"1", "r1", "kEY1"}));

    Database db;
    ASSERT_TRUE(db.open(bigFile).ok());
    table()->scrollToBottom();
    settle();
    EXPECT_EQ(bottomRow(), 999999);
    EXPECT_LE(reader.rowsRead(), 3 * TableModel::kBlockRows);
    EXPECT_LE(reader.idsSkipped(), 2 * TableModel::kBlockRows);  // stepped back from the end
    EXPECT_EQ(cell(999999, 0), std::to_string(ids(db, "SELECT max(id) FROM wen")[0]));
    EXPECT_EQ(cell(999999, 3), "note");

    // Dragged to the middle, nearer the end, then between places seen before.
    for (int row : {500000, 800000, 900000, 250000, 650000}) {
        table()->verticalScrollBar()->setValue(row);
        settle();
        EXPECT_NEAR(topRow(), row, 10);
        EXPECT_EQ(cell(topRow(), 0),
                  std::to_string(ids(db, "SELECT id FROM wen ORDER BY id LIMIT 1 OFFSET " +
                                             std::to_string(topRow()))[0]));
    }
    EXPECT_EQ(cell(1000000, 0), "");  // outside the table: nothing, not a crash
}

// Which rows a keyword matches is the page reader's; here the controls that
// set the filter, what the view shows under it, and how a reload keeps it.
TEST_F(BigTableTest, FilterControlsShowTheMatchingRowsAndSurviveAReload) {
    Database db;
    ASSERT_TRUE(db.open(bigFile).ok());
    const auto matching = ids(db, "SELECT id FROM wen WHERE a1 LIKE '%KEY99%' ORDER BY id");
    showView(bigFile);
    find<QComboBox>("filterColumn")->setCurrentIndex(1);
    QTest::keyClicks(find<QLineEdit>("filterText"), "KEY99");
    QTest::mouseClick(find<QPushButton>("applyFilter"), Qt::LeftButton);
    EXPECT_EQ(label(), QString::fromUtf8("正在计数…"));  // the window did not wait for it
    counted();
    EXPECT_EQ(
        label(),
        QString::fromUtf8("共 1000000 行，其中 %1 行的“关键字”包含“KEY99”").arg(matching.size()));
    TableModel& model = *view->model();
    ASSERT_EQ(model.rowCount(), static_cast<int>(matching.size()));
    std::vector<int64_t> shown;
    for (int r = 0; r < model.rowCount(); ++r) shown.push_back(std::stoll(cell(r, 0)));
    EXPECT_EQ(shown, matching);

    // A reload after a step keeps the filter while its column exists.
    view->reload(bigFile, kNames);
    counted();
    EXPECT_EQ(model.rowCount(), static_cast<int>(matching.size()));
    EXPECT_EQ(find<QLineEdit>("filterText")->text(), QString::fromLatin1("KEY99"));
    view->reload(bigFile, {"姓名"});
    counted();
    EXPECT_EQ(model.rowCount(), 1000000);
    // Released mid-count, as before a step replaces the file: the count ends
    // first and never shows afterwards.
    view->reload(bigFile, kNames);
    view->release();
    EXPECT_FALSE(view->counting());
    QTest::qWait(50);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(label().isEmpty()) << label().toStdString();
    view->reload(bigFile, {"姓名"});
    counted();
    EXPECT_EQ(label(), QString::fromUtf8("共 1000000 行"));
    EXPECT_TRUE(find<QLineEdit>("filterText")->text().isEmpty());
    EXPECT_FALSE(find<QPushButton>("clearFilter")->isEnabled());
}

// A way of matching other than the first reaches the filter, which shows the
// rows the keyword delete with the same choices would remove (which rows
// each way matches is the matcher's test); a filter applied while another
// is still counting shows only its own count.
TEST_F(DataViewTest, TheChosenWayOfMatchingShowsWhatTheDeleteWouldRemove) {
    fs::path file = ProgramPaths(makeProgramFolder(dir / "p")).workingDb();
    Database db;
    ASSERT_TRUE(db.open(file).ok());
    for (const char* v : {"a_b", "axb", "A_B", "a_bc", "ＡＢ", "50%", "x50%"})
        ASSERT_TRUE(db.run({"INSERT INTO wen (a0) VALUES (?1)", {std::string(v)}}).ok());
    db.release();
    showView(file, {"名"});
    auto* match = find<QComboBox>("filterMatch");
    match->setCurrentIndex(1);
    find<QLineEdit>("filterText")->setText("a_b");
    QTest::mouseClick(find<QPushButton>("applyFilter"), Qt::LeftButton);
    counted();
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ((std::vector{cell(0, 1), cell(1, 1)}), (std::vector<std::string>{"a_b", "A_B"}));
    EXPECT_EQ(label(), QString::fromUtf8("共 7 行，其中 2 行的“名”等于“a_b”"));
    // Two filters in a row: the first one's count never shows.
    match->setCurrentIndex(0);
    find<QLineEdit>("filterText")->setText("x");
    QTest::mouseClick(find<QPushButton>("applyFilter"), Qt::LeftButton);
    find<QLineEdit>("filterText")->setText("50");
    QTest::mouseClick(find<QPushButton>("applyFilter"), Qt::LeftButton);
    counted();
    QApplication::processEvents();
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_TRUE(label().endsWith(QString::fromUtf8("其中 2 行的“名”包含“50”")))
        << label().toStdString();
    // A reload keeps the way of matching with the filter.
    match->setCurrentIndex(1);
    find<QLineEdit>("filterText")->setText("axb");
    QTest::mouseClick(find<QPushButton>("applyFilter"), Qt::LeftButton);
    view->reload(file, {"名"});
    counted();
    EXPECT_EQ(match->currentIndex(), 1);
    EXPECT_EQ(view->model()->rowCount(), 1);
}

TEST_F(DataViewTest, ErrorsShowInTheLabelAndLeaveTheViewUsable) {
    view->reload(dir / "none.mdb", kNames);
    EXPECT_TRUE(label().startsWith(QString::fromUtf8("无法显示数据：找不到文件")))
        << label().toStdString();
    EXPECT_EQ(view->model()->rowCount(), 0);

    fs::path file = ProgramPaths(makeProgramFolder(dir / "p")).workingDb();
    Database db;
    ASSERT_TRUE(db.open(file).ok());
    ASSERT_TRUE(db.run({"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE "
                        "x<1000) INSERT INTO wen (a0) SELECT 'v'||x FROM n",
                        {}})
                    .ok());
    db.release();
    showView(file, {});
    EXPECT_EQ(label(), QString::fromUtf8("共 1000 行"));
    EXPECT_EQ(view->model()->columnCount(), 1);  // no names: the ids alone
    EXPECT_FALSE(find<QPushButton>("applyFilter")->isEnabled());

    // The file is damaged under the open view: the unread rows show empty
    // and the label says why.
    writeFile(file, std::string(8192, 'x'));
    table()->scrollToBottom();
    settle();
    QApplication::processEvents();
    EXPECT_TRUE(label().startsWith(QString::fromUtf8("无法显示数据："))) << label().toStdString();
    EXPECT_EQ(cell(999, 0), "");
    view->release();
    EXPECT_EQ(view->model()->rowCount(), 0);
}

}  // namespace
}  // namespace tabrovin::testing
