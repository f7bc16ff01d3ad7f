#pragma once
// One page of the export: the rows low < id <= high of the chosen columns,
// written into a copy of the blank template workbook.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/session.h"
#include "export/export_lists.h"
#include "platform/xls/xls_writer.h"

namespace tabrovin {

class PageWriter {
  public:
    // The template is read once, on the first page, and reused.
    PageWriter(Session& s, const std::vector<ExportColumn>& columns);

    // Writes the page to `out` (replacing it), moving the progress bar Label1
    // to 1000, 2400 and 5000 twips on the way.
    Status write(const std::filesystem::path& out, int64_t low, int64_t high);

  private:
    Session& s_;
    std::vector<std::string> headings_;
    std::vector<int> numbers_;                             // column k of each heading, as a<k>
    std::optional<Result<xls::ExportTemplate>> template_;  // loaded on the first page
};

}  // namespace tabrovin
