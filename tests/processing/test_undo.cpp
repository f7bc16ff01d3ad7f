// Undo of the last step that removed rows or replaced the table: rows, ids
// and column names come back exactly, also in a fresh process.

#include <sys/stat.h>

#include "core/column_list.h"
#include "core/undo.h"
#include "import/import_rows.h"
#include "import/open_workbook.h"
#include "platform/database.h"
#include "processing/delete_keyword_rows.h"
#include "processing/filter_duplicates.h"
#include "tests/support/read_numbers.h"
#include "tests/support/workspace_fixture.h"

namespace tabrovin::testing {
namespace {

using Names = std::vector<std::string>;

class Undo : public WorkspaceTest {
  protected:
    void SetUp() override {
        fill({{"a", "1"}, {"b", "2"}, {"A", "3"}, {"c", "4"}});
        ASSERT_TRUE(column_list::save({"名", "号"}, ws.paths.columnList()).ok());
        before = table(2);
        beforeIds = ids();
    }
    std::vector<int64_t> ids() {
        Database db;
        EXPECT_TRUE(db.open(ws.paths.workingDb()).ok());
        auto r = readNumbers(db, {"select id from wen order by id", {}});
        return r.ok() ? *r : std::vector<int64_t>{};
    }
    // Undoes through a fresh Workspace, as after a restart.
    UndoReport undoInNewProcess() {
        ws.conn.release();
        Workspace again(ws.paths);
        auto r = undoLastStep(again);
        EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().description);
        return r.ok() ? *r : UndoReport{};
    }
    std::vector<std::vector<std::string>> before;
    std::vector<int64_t> beforeIds;
};

TEST_F(Undo, EachDestructiveStepComesBackExactly) {
    const auto book = writeXls("b.xls", {{{"X", "Y"}, {"x1", "y1"}}});
    // Each step with the name undo gives it.
    auto step = [&](const std::string& name) {
        if (name == "过滤重复") return filterDuplicates(ws, {0, std::nullopt}, progress).status();
        if (name == "删除相应的行") return deleteKeywordRows(ws, {1, "2"}, progress).status();
        if (name == "选择工作簿") return openWorkbook(ws, {book, 1}, progress).status();
        return importRows(ws, {book, 1, {1, 2}, {"X", "Y"}, std::nullopt}, progress).status();
    };
    for (std::string name : {"过滤重复", "删除相应的行", "选择工作簿", "导入"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(step(name).ok());
        ASSERT_NE(table(2), before);
        UndoReport r = undoInNewProcess();
        EXPECT_EQ(r.step, name);
        EXPECT_EQ(r.rows, 4);
        EXPECT_EQ(table(2), before);
        EXPECT_EQ(ids(), beforeIds);
        EXPECT_EQ(columnList(), (Names{"名", "号"}));
        EXPECT_EQ(r.columnNames, (Names{"名", "号"}));
        EXPECT_FALSE(canUndo(ws.paths)) << "one level only";
    }
}

TEST_F(Undo, NothingToUndoIsRefusedAndAHalfTakenSnapshotIsNeverOffered) {
    EXPECT_TRUE(failsWith(undoLastStep(ws), err::kRefused));
    ASSERT_TRUE(takeSnapshot(ws, "导入").ok());
    std::filesystem::remove(ws.paths.undoStep());  // as if killed mid-snapshot
    EXPECT_FALSE(canUndo(ws.paths));
    EXPECT_FALSE(undoLastStep(ws).ok());
    EXPECT_EQ(table(2), before);
    // A snapshot a crash left damaged is refused, never put back.
    ASSERT_TRUE(takeSnapshot(ws, "导入").ok());
    std::filesystem::resize_file(ws.paths.undoDb(), 3000);
    EXPECT_FALSE(undoLastStep(ws).ok());
    EXPECT_EQ(table(2), before);
}

// As when the disk is full: the copy cannot be written, so the step that
// wanted it is refused, and the last step stays undoable.
TEST_F(Undo, ASnapshotThatCannotBeWrittenKeepsTheLastOne) {
    ASSERT_TRUE(takeSnapshot(ws, "导入").ok());
    ASSERT_TRUE(deleteKeywordRows(ws, {0, "a"}, progress).ok());  // takes the next one
    std::filesystem::create_directories(ws.paths.undoDb().string() + ".tmp/x");
    EXPECT_TRUE(failsWith(deleteKeywordRows(ws, {0, "c"}, progress), err::kFileAccess));
    EXPECT_EQ(table(2).size(), 2u);  // "a" and "A" went
    EXPECT_EQ(undoInNewProcess().step, "删除相应的行");
    EXPECT_EQ(table(2), before);
}

// The table the user had before choosing a workbook is what undo gives back
// after the choice and its import, names included.
TEST_F(Undo, AfterChoosingAndImportingUndoGivesBackTheTableFromBeforeTheChoice) {
    const auto book = writeXls("b.xls", {{{"X", "Y"}, {"x1", "y1"}, {"x2", "y2"}}});
    ASSERT_TRUE(openWorkbook(ws, {book, 1}, progress).ok());
    ASSERT_TRUE(openWorkbook(ws, {book, 1}, progress).ok());  // chosen twice
    ASSERT_TRUE(importRows(ws, {book, 1, {1, 2}, {"X", "Y"}, std::nullopt}, progress).ok());
    ASSERT_EQ(rowCount(), 2);
    EXPECT_EQ(undoInNewProcess().rows, 4);
    EXPECT_EQ(table(2), before);
    EXPECT_EQ(columnList(), (Names{"名", "号"}));
}

// Only a step that changed the table gives the last step's undo away.
TEST_F(Undo, AStepThatChangesNothingKeepsTheLastUndo) {
    ASSERT_TRUE(deleteKeywordRows(ws, {0, "c"}, progress).ok());
    const auto afterDelete = table(2);
    ASSERT_TRUE(deleteKeywordRows(ws, {0, "没有这个"}, progress).ok());   // matches no row
    ASSERT_TRUE(filterDuplicates(ws, {1, std::nullopt}, progress).ok());  // no two alike
    progress.cancelAfter(0);
    EXPECT_FALSE(filterDuplicates(ws, {0, std::nullopt}, progress).ok());  // cancelled
    const auto book = writeXls("b.xls", {{{"X", "Y"}, {"x1", "y1"}}});
    EXPECT_FALSE(importRows(ws, {book, 1, {1, 2}, {"X", "Y"}, std::nullopt}, progress).ok());
    progress.cancelAfter(-1);
    std::filesystem::resize_file(ws.paths.blankDb(), 100);  // refused before the reset
    EXPECT_FALSE(openWorkbook(ws, {dir / "missing.xls", 1}, progress).ok());
    EXPECT_EQ(table(2), afterDelete);
    EXPECT_FALSE(std::filesystem::exists(ws.paths.undoDb().string() + ".tmp"));
    EXPECT_EQ(undoInNewProcess().step, "删除相应的行");
    EXPECT_EQ(table(2), before);
}

// A snapshot that is no working database is refused before data.mdb is
// touched; so is one whose column list is a pipe, which would hang.
TEST_F(Undo, ATamperedSnapshotIsRefusedAndTheTableStays) {
    const auto undoDb = ws.paths.undoDb();
    auto tamper = [&](const std::string& sql) {
        ASSERT_TRUE(takeSnapshot(ws, "导入").ok());
        Database db;
        ASSERT_TRUE(db.open(undoDb).ok());
        ASSERT_TRUE(db.run({sql, {}}).ok());
    };
    for (const std::string sql : {"DROP TABLE wen", "ALTER TABLE wen RENAME COLUMN a50 TO b50"}) {
        SCOPED_TRACE(sql);
        tamper(sql);
        const auto now = table(2);
        EXPECT_TRUE(failsWith(undoLastStep(ws), err::kFileAccess));
        EXPECT_EQ(table(2), now);
        std::filesystem::remove(ws.paths.undoStep());
    }
    ASSERT_TRUE(deleteKeywordRows(ws, {0, "b"}, progress).ok());
    const auto now = table(2);
    std::filesystem::remove(ws.paths.undoColumnList());
    ASSERT_EQ(::mkfifo(ws.paths.undoColumnList().c_str(), 0600), 0);
    EXPECT_TRUE(failsWith(undoLastStep(ws), err::kFileAccess));
    EXPECT_EQ(table(2), now);
}

TEST_F(Undo, AnOversizedStepNameIsReadOnlyInPart) {
    ASSERT_TRUE(takeSnapshot(ws, "导入").ok());
    writeFile(ws.paths.undoStep(), "导入" + std::string(4 << 20, 'x'));
    EXPECT_LE(undoInNewProcess().step.size(), 256u);
}

}  // namespace
}  // namespace tabrovin::testing
