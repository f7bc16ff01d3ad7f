#pragma once
// Reading a whole worksheet into memory, for tests only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/workbook.h"

namespace tabrovin::testing {

using Grid = std::vector<std::vector<std::string>>;

// Opens `path`, takes sheet `number` and reads all of it; fails the test on error.
inline Grid readSheet(const std::filesystem::path& path, int number = 1) {
    auto book = openWorkbook(path);
    EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error().description);
    if (!book.ok()) return {};
    auto sheet = (*book)->worksheet(number);
    EXPECT_TRUE(sheet.ok()) << (sheet.ok() ? "" : sheet.error().description);
    if (!sheet.ok()) return {};
    SheetSize size = (*sheet)->size();
    Grid grid;
    int32_t expected = 1;
    Status s = (*sheet)->readRows(1, size.rows, size.columns,
                                  [&](int32_t row, const std::vector<std::string>& cells) {
                                      EXPECT_EQ(row, expected++);
                                      EXPECT_EQ(cells.size(), size_t(size.columns));
                                      grid.push_back(cells);
                                      return Status::Ok();
                                  });
    EXPECT_TRUE(s.ok()) << (s.ok() ? "" : s.error().description);
    return grid;
}

// The error number openWorkbook, worksheet(1) or readRows gives, 0 if none.
inline int openError(const std::filesystem::path& path) {
    auto book = openWorkbook(path);
    if (!book.ok()) {
        EXPECT_FALSE(book.error().description.empty());
        return book.error().number;
    }
    auto sheet = (*book)->worksheet(1);
    if (!sheet.ok()) return sheet.error().number;
    SheetSize size = (*sheet)->size();
    Status s =
        (*sheet)->readRows(1, size.rows, size.columns,
                           [](int32_t, const std::vector<std::string>&) { return Status::Ok(); });
    return s.ok() ? 0 : s.error().number;
}

}  // namespace tabrovin::testing
