#pragma once
// One page of the export: the next rows of the chosen columns in id order,
// written into a copy of the blank template workbook.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/workspace.h"
#include "export/export_lists.h"
#include "export/run_export.h"
#include "platform/sheets/xlsx_writer.h"
#include "platform/xls/xls_writer.h"

namespace tabrovin {

class ExportWorkbookWriter {
  public:
    ExportWorkbookWriter(const ProgramPaths& paths, const std::vector<ExportColumn>& columns,
                         PageFormat format = PageFormat::Xls);

    // Reads the blank template of the format once, before the first page: a
    // missing or damaged template fails the whole run, not every page in turn.
    Status loadTemplate();
    // Refuses, once, a template that no page of up to `rows` rows can pass
    // (its own rows would be pushed past the sheet's last row).
    Status checkPageRows(int64_t rows) const;
    PageFormat format() const { return format_; }
    size_t width() const { return numbers_.size(); }

    // Reads the cells of the first `count` rows with id > low, row after
    // row, into `cells` (emptied first); the id of the last row read, or
    // `low` when there was none.
    Result<int64_t> read(Database& db, int64_t low, int64_t count,
                         std::vector<std::string>& cells) const;
    // Writes cells read by read() to `out` (a page of the template's
    // format), replacing it only once it is complete. Safe to call from
    // several threads at once, after loadTemplate().
    Status write(const std::filesystem::path& out, const std::vector<std::string>& cells) const;
    // Starts an .xlsx page at `out` of `rows` rows, to be added row by row.
    Result<std::unique_ptr<sheets::XlsxPage>> beginXlsx(const std::filesystem::path& out,
                                                        int64_t rows) const;

  private:
    std::filesystem::path templatePath_;
    std::vector<std::string> headings_;
    std::vector<int> numbers_;  // column k of each heading, as a<k>
    PageFormat format_;
    std::optional<xls::ExportTemplate> template_;
    std::optional<sheets::XlsxTemplate> xlsxTemplate_;
};

}  // namespace tabrovin
