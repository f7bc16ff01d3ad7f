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
// (number 0 if none), checking that an error comes with its description;
// the sheet's cells go to `grid` when given.
inline Error readFailure(const std::filesystem::path& path, Grid* grid = nullptr, int number = 1) {
    auto book = openWorkbookFile(path);
    auto sheet = book ? (*book)->worksheet(number) : book.error();
    SheetSize size = sheet ? (*sheet)->size() : SheetSize{};
    Grid scratch;
    Status s = sheet ? readGrid(**sheet, 1, size.rows, size.columns, grid ? *grid : scratch)
                     : sheet.status();
    EXPECT_TRUE(s.ok() || !s.error().description.empty()) << path;
    return s.ok() ? Error{} : s.error();
}

// All of sheet `number` of `path`; fails the test on any error.
inline Grid readSheet(const std::filesystem::path& path, int number = 1) {
    Grid grid;
    EXPECT_EQ(readFailure(path, &grid, number).number, 0) << path;
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
