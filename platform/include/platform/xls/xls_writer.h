#pragma once
// Writing .xls (BIFF8) workbooks: pages of text cells poured into a copy of
// a template workbook, and the blank workbook the template starts from.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin::xls {

// The most data rows one page can hold: row 1 carries the headings.
constexpr size_t kMaxPageRows = 65535;
constexpr size_t kMaxColumns = 256;
// The most bytes a page's Workbook stream may take: the container keeps it
// in 512-byte sectors, which allow 2 GB, and its sheets are found by 32-bit
// positions. Readers refuse a larger one.
constexpr uint64_t kMaxWorkbookStream = uint64_t{1} << 31;

// A template workbook, read and taken apart once, then reused for every page.
// Cheap to copy; safe to use from several threads at once.
class ExportTemplate {
  public:
    // Reads a BIFF8 .xls template. Errors: err::kFileNotFound, err::kFileAccess,
    // err::kNotWorkbook (not a compound file / no Workbook stream),
    // err::kUnsupportedWorkbook (BIFF5 or older), err::kEncryptedWorkbook,
    // err::kDamagedWorkbook (records, SST or sheet offsets inconsistent), or
    // whatever the .xls reader says of a worksheet it cannot read: pages
    // carry the template's records, so they would be as unreadable.
    static Result<ExportTemplate> load(const std::filesystem::path& templatePath);

    // Writes a copy of the template to `out` (replacing any file there) with
    // `headings` in row 1 from A1 rightwards and `rows` from row 2 down on the
    // first worksheet, every text as a text cell (an empty text writes no cell,
    // so the template's cell there, if any, stays). A heading takes the cell
    // format of the template cell it replaces; other cells take their column's
    // format. Texts are UTF-8; longer than 32,767 UTF-16 units they are cut to
    // 32,767. The first worksheet's template content from row 2 down moves
    // below the page (as inserting rows in Excel would, except that references
    // inside formulas, drawings and names keep pointing at the old cells;
    // shared and array formulas stay whole). Ranges reaching row 65,536 stop
    // there. Everything else of the template is kept.
    // Errors: err::kTooManyRows (more than kMaxPageRows rows, template cells
    // or the start of a merged, linked, noted or conditionally formatted range
    // pushed past row 65,536, or a Workbook stream that would pass
    // kMaxWorkbookStream bytes), a refusal (more than kMaxColumns
    // headings or cells in a row), err::kPathNotFound (missing folder),
    // err::kFileAccess (read-only or locked destination), err::kWorkbookWrite.
    // On error no file is left at `out` beyond what was there before.
    Status write(const std::filesystem::path& out, const std::vector<std::string>& headings,
                 const std::vector<std::vector<std::string>>& rows) const;

    // The same with the rows given flat, row after row, `columns` texts each
    // (cells.size() must be a multiple of `columns`).
    Status write(const std::filesystem::path& out, const std::vector<std::string>& headings,
                 std::span<const std::string> cells, size_t columns) const;

    // Whether pages of up to `rows` rows have room below the template's own
    // rows: the err::kTooManyRows write() would give every such page, said
    // once before the first. A page of fewer rows fits whenever one of more does.
    Status checkPageRows(size_t rows) const;

    struct Impl;

  private:
    explicit ExportTemplate(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

// Writes a new BIFF8 workbook with one empty worksheet named "Sheet1" and the
// standard fonts, styles and cell formats (the blank export template).
// Errors as ExportTemplate::write's file errors.
Status writeBlankWorkbook(const std::filesystem::path& out);

}  // namespace tabrovin::xls
