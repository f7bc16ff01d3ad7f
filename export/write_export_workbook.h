#pragma once
// One page of the export: the rows low < id <= high of the chosen columns,
// written into a copy of the blank template workbook.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/session.h"
#include "export/export_lists.h"

namespace tabrovin {

class ExportTemplateCache;

class PageWriter {
  public:
    // The template is read once, on the first page, and reused.
    PageWriter(Session& s, std::vector<ExportColumn> columns);
    ~PageWriter();

    // Writes the page to `out` (replacing it), moving the progress bar Label1
    // to 1000, 2400 and 5000 twips on the way.
    Status write(const std::filesystem::path& out, int64_t low, int64_t high);

  private:
    Session& s_;
    std::vector<ExportColumn> columns_;
    std::unique_ptr<ExportTemplateCache> template_;
};

}  // namespace tabrovin
