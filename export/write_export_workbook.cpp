#include "export/write_export_workbook.h"

#include "core/statements.h"

namespace tabrovin {

ExportWorkbookWriter::ExportWorkbookWriter(const ProgramPaths& paths,
                                           const std::vector<ExportColumn>& columns)
    : templatePath_(paths.exportTemplate()) {
    for (const auto& c : columns) {
        headings_.push_back(c.heading);
        numbers_.push_back(c.column);
    }
}

Status ExportWorkbookWriter::write(Database& db, const std::filesystem::path& out, int64_t low,
                                   int64_t high) {
    if (numbers_.empty()) return Error::refused("没有要导出的列!");
    if (!template_) TABROVIN_TRY(loadTemplate());
    auto query = statements::pageRows(numbers_, low, high);
    if (!query) return query.error();
    // Kept from page to page: a fresh buffer of a page's cells costs more
    // in the system's page faults than reading them.
    cells_.clear();
    int width = 0;
    TABROVIN_TRY(db.readTexts(*query, cells_, width));
    return template_->write(out, headings_, cells_, numbers_.size());
}

Status ExportWorkbookWriter::loadTemplate() {
    TABROVIN_TRY(requireFile(templatePath_));
    auto loaded = xls::ExportTemplate::load(templatePath_);
    if (!loaded) return loaded.error();
    template_.emplace(std::move(*loaded));
    return Status::Ok();
}

}  // namespace tabrovin
