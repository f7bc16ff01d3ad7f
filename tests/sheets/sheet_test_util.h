#pragma once
// Reading a whole worksheet into memory, for tests only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/workbook.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

using Row = std::vector<std::string>;
using Grid = std::vector<Row>;

// Reads rows first..last of `sheet`, `columns` wide, checking they come in order.
inline Status readGrid(Worksheet& sheet, int32_t first, int32_t last, int32_t columns, Grid& out) {
    return sheet.readRows(first, last, columns,
                          [&, next = first](int32_t row, const Row& cells) mutable {
                              EXPECT_EQ(row, next++);
                              EXPECT_EQ(cells.size(), size_t(columns));
                              out.push_back(cells);
                              return Status::Ok();
                          });
}

// The error of opening `path`, taking sheet `number` and reading it whole
// (number 0 if none); the sheet's cells go to `grid` when given.
inline Error readFailure(const std::filesystem::path& path, Grid* grid = nullptr, int number = 1) {
    auto book = openWorkbookFile(path);
    if (!book.ok()) return book.error();
    auto sheet = (*book)->worksheet(number);
    if (!sheet.ok()) return sheet.error();
    Grid scratch;
    SheetSize size = (*sheet)->size();
    Status s = readGrid(**sheet, 1, size.rows, size.columns, grid ? *grid : scratch);
    return s.ok() ? Error{} : s.error();
}

// The number of readFailure, checking that an error comes with its description.
inline int readError(const std::filesystem::path& path, Grid* grid = nullptr, int number = 1) {
    Error e = readFailure(path, grid, number);
    EXPECT_TRUE(e.number == 0 || !e.description.empty()) << path;
    return e.number;
}

// All of sheet `number` of `path`; fails the test on any error.
inline Grid readSheet(const std::filesystem::path& path, int number = 1) {
    Grid grid;
    EXPECT_EQ(readError(path, &grid, number), 0) << path;
    return grid;
}

using Parts = std::vector<std::pair<std::string, std::string>>;

// A zip at `path` of the parts given as (name, bytes), deflated by Python's
// zipfile; parts go through files, so they may be of any size.
inline void writePackage(const std::filesystem::path& path, const Parts& parts) {
    std::string args = shellQuote(path.string());
    for (size_t i = 0; i < parts.size(); ++i) {
        auto file = path.parent_path() / (".part" + std::to_string(i));
        writeFile(file, parts[i].second);
        args += " " + shellQuote(parts[i].first) + " " + shellQuote(file.string());
    }
    auto r = runPython(
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "for i in range(2, len(sys.argv), 2): z.write(sys.argv[i + 1], sys.argv[i])\n",
        args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

}  // namespace tabrovin::testing
