#pragma once
// Writing .xlsx pages: rows of text cells poured into a copy of a template
// package. The worksheet is streamed into the zip while it is made, so a page
// of a million rows never sits in memory as a whole.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin::sheets {

// The most data rows one page can hold: row 1 carries the headings.
constexpr int64_t kMaxXlsxPageRows = 1048575;
constexpr int64_t kMaxXlsxSheetRows = 1048576;
constexpr size_t kMaxXlsxColumns = 16384;

class XlsxPage;

// A template package, read and taken apart once, then reused for every page.
// Cheap to copy; safe to use from several threads at once.
class XlsxTemplate {
  public:
    // Reads an .xlsx template. Errors: err::kFileNotFound, err::kFileAccess,
    // err::kNotWorkbook (no zip, or a zip without a spreadsheet),
    // err::kDamagedWorkbook, err::kEncryptedWorkbook, or what the .xlsx
    // reader says of its first worksheet: pages carry the template's parts,
    // so they would be as unreadable.
    static Result<XlsxTemplate> load(const std::filesystem::path& templatePath);

    // Starts a page at `out` with `headings` in row 1 from A1 rightwards;
    // exactly `rows` rows of `columns` texts are to follow through
    // XlsxPage::add. Every text becomes a text cell (an empty text writes no
    // cell, so the template's cell there, if any, stays); a heading keeps the
    // style of the template cell it replaces, other cells take their
    // column's style. Texts are UTF-8 (bad bytes become U+FFFD), cut to
    // 32,767 UTF-16 units. The first worksheet's template rows from row 2
    // down move below the page, as do ranges (merged cells, conditional
    // formats, validations, links) that start below row 1; references inside
    // formulas keep pointing at the old cells. Everything else is kept, but
    // the calculation chain, which the spreadsheet rebuilds.
    // Errors: err::kTooManyRows (more than kMaxXlsxPageRows rows, or template
    // rows pushed past row 1,048,576), err::kRefused (more than
    // kMaxXlsxColumns headings or columns), err::kPathNotFound,
    // err::kFileAccess, err::kWorkbookWrite.
    Result<std::unique_ptr<XlsxPage>> begin(const std::filesystem::path& out,
                                            const std::vector<std::string>& headings,
                                            size_t columns, int64_t rows) const;

    // err::kTooManyRows when a page of `rows` rows would push the template's
    // own rows past the sheet's last row, as begin() would say of each page.
    Status checkPageRows(int64_t rows) const;

    // A whole page at once: begin(), add() and finish().
    Status write(const std::filesystem::path& out, const std::vector<std::string>& headings,
                 std::span<const std::string> cells, size_t columns) const;

    struct Impl;

  private:
    explicit XlsxTemplate(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

// One page being written, under a temporary name beside its file until
// finish(). Dropped unfinished, it leaves nothing behind.
class XlsxPage {
  public:
    struct State;
    explicit XlsxPage(std::unique_ptr<State> s);
    ~XlsxPage();
    XlsxPage(const XlsxPage&) = delete;
    XlsxPage& operator=(const XlsxPage&) = delete;

    // Adds rows given flat, row after row (cells.size() a multiple of the
    // page's columns). err::kRefused for a partial row or more rows
    // than begun with; err::kWorkbookWrite when the disk refuses.
    Status add(std::span<const std::string> cells);
    // Writes the rest of the package and puts it at the page's file,
    // replacing any file there. err::kRefused when fewer rows came
    // than begun with; file errors as XlsxTemplate::begin, err::kWorkbookWrite.
    Status finish();

  private:
    std::unique_ptr<State> s_;
};

// Writes a new .xlsx workbook with one empty worksheet named "Sheet1" and
// the standard styles (the blank export template). File errors as begin's.
Status writeBlankXlsx(const std::filesystem::path& out);

}  // namespace tabrovin::sheets
