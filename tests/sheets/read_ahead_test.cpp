// Reading a worksheet on a second thread must hand over exactly what a plain
// read would, stop the reader when the caller stops, and never lose the rows
// read before a failure.

#include "platform/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

namespace tabrovin {
namespace {

// Rows whose cells name their row; fails or throws at a chosen row.
class CountingSheet : public Worksheet {
  public:
    int32_t failAt = 0, throwAt = 0;
    std::atomic<int32_t> readUpTo{0};

    SheetSize size() const override { return {100000, 3}; }
    Status readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) override {
        std::vector<std::string> cells(static_cast<size_t>(columns));
        for (int32_t r = first; r <= last; ++r) {
            if (r == failAt) return Error::damagedWorkbook("t.xlsx", "坏行", CellPlace("S", r, 1));
            if (r == throwAt) throw std::bad_alloc();
            for (int32_t c = 0; c < columns; ++c)
                cells[c] = std::to_string(r) + ":" + std::to_string(c + 1);
            TABROVIN_TRY(sink(r, cells));
            readUpTo = r;
        }
        return Status::Ok();
    }
};

// On success every row of the range, and before a failure every row read
// ahead of it, reach the caller in order with their cells.
TEST(ReadAhead, HandsOverEveryRowInOrderUpToTheEndOrAFailure) {
    for (int32_t failAt : {0, 3001}) {
        CountingSheet sheet;
        sheet.failAt = failAt;
        int32_t next = 2;
        Status s = readRowsAhead(sheet, 2, 5001, 3, [&](int32_t row, const auto& cells) {
            EXPECT_EQ(row, next++);
            EXPECT_EQ(cells, (std::vector<std::string>{std::to_string(row) + ":1",
                                                       std::to_string(row) + ":2",
                                                       std::to_string(row) + ":3"}));
            return Status::Ok();
        });
        EXPECT_EQ(s.ok() ? 0 : s.error().number, failAt ? err::kDamagedWorkbook : 0);
        EXPECT_EQ(next, failAt ? failAt : 5002);
    }
}

// A refused row stops the reader a few batches ahead, not at the sheet's
// end; what the reader throws is rethrown on the caller's thread.
TEST(ReadAhead, StopsWithTheCallerAndRethrowsWhatTheReaderThrows) {
    CountingSheet sheet;
    Status s = readRowsAhead(sheet, 1, 100000, 3, [](int32_t row, const auto&) {
        return row == 10 ? Error::cancelled("已导入的 9 行保留在工作数据表中。") : Status::Ok();
    });
    EXPECT_EQ(s.error().number, err::kCancelled);
    EXPECT_LT(sheet.readUpTo.load(), 5000);
    sheet.throwAt = 700;
    EXPECT_THROW(
        (void)readRowsAhead(sheet, 1, 100000, 1, [](int32_t, const auto&) { return Status::Ok(); }),
        std::bad_alloc);
}

}  // namespace
}  // namespace tabrovin
