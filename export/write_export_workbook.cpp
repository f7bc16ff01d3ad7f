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

Status ExportWorkbookWriter::read(Database& db, int64_t low, int64_t high,
                                  std::vector<std::string>& cells) const {
    auto query = statements::pageRows(numbers_, low, high);
    if (!query) return query.error();
    cells.clear();
    int width = 0;
    return db.readTexts(*query, cells, width);
}

Status ExportWorkbookWriter::write(const std::filesystem::path& out,
                                   const std::vector<std::string>& cells) const {
    if (!template_) return Error::refused("导出模板还没有读入。");
    return template_->write(out, headings_, cells, numbers_.size());
}

Status ExportWorkbookWriter::write(Database& db, const std::filesystem::path& out, int64_t low,
                                   int64_t high) {
    if (numbers_.empty()) return Error::refused("没有要导出的列!");
    if (!template_) TABROVIN_TRY(loadTemplate());
    // Kept from page to page: a fresh buffer of a page's cells costs more
    // in the system's page faults than reading them.
    TABROVIN_TRY(read(db, low, high, cells_));
    return write(out, cells_);
}

Status ExportWorkbookWriter::loadTemplate() {
    TABROVIN_TRY(requireFile(templatePath_));
    auto loaded = xls::ExportTemplate::load(templatePath_);
    if (!loaded) return loaded.error();
    template_.emplace(std::move(*loaded));
    return Status::Ok();
}

}  // namespace tabrovin
