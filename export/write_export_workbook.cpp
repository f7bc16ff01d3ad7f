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

Status ExportWorkbookWriter::loadTemplate() {
    TABROVIN_TRY(requireFile(templatePath_));
    auto loaded = xls::ExportTemplate::load(templatePath_);
    if (!loaded) return loaded.error();
    template_.emplace(std::move(*loaded));
    return Status::Ok();
}

}  // namespace tabrovin
