#include "export/write_export_workbook.h"

#include "core/statements.h"

namespace tabrovin {

ExportWorkbookWriter::ExportWorkbookWriter(const ProgramPaths& paths,
                                           const std::vector<ExportColumn>& columns,
                                           PageFormat format)
    : templatePath_(format == PageFormat::Xlsx ? paths.exportXlsxTemplate()
                                               : paths.exportTemplate()),
      format_(format) {
    for (const auto& c : columns) {
        headings_.push_back(c.heading);
        numbers_.push_back(c.column);
    }
}

Result<int64_t> ExportWorkbookWriter::read(Database& db, int64_t low, int64_t count,
                                           std::vector<std::string>& cells) const {
    auto query = statements::pageRows(numbers_, low, count);
    if (!query) return query.error();
    auto rows = db.query(*query);
    if (!rows) return rows.error();
    cells.clear();
    const int width = static_cast<int>(numbers_.size());
    for (int64_t last = low;;) {
        auto more = rows->next();
        if (!more) return more.error();
        if (!*more) return last;
        // The id as a number: read as text it would cost more than finding
        // the page's end in the index.
        last = rows->number(0);
        for (int c = 1; c <= width; ++c) cells.emplace_back(rows->text(c));
    }
}

Status ExportWorkbookWriter::write(const std::filesystem::path& out,
                                   const std::vector<std::string>& cells) const {
    if (xlsxTemplate_) return xlsxTemplate_->write(out, headings_, cells, numbers_.size());
    if (!template_) return Error::refused("导出模板还没有读入。");
    return template_->write(out, headings_, cells, numbers_.size());
}

Status ExportWorkbookWriter::checkPageRows(int64_t rows) const {
    if (xlsxTemplate_) return xlsxTemplate_->checkPageRows(rows);
    if (!template_) return Error::refused("导出模板还没有读入。");
    return template_->checkPageRows(static_cast<size_t>(rows));
}

Result<std::unique_ptr<sheets::XlsxPage>> ExportWorkbookWriter::beginXlsx(
    const std::filesystem::path& out, int64_t rows) const {
    if (!xlsxTemplate_) return Error::refused("导出模板还没有读入。");
    return xlsxTemplate_->begin(out, headings_, numbers_.size(), rows);
}

Status ExportWorkbookWriter::loadTemplate() {
    TABROVIN_TRY(requireFile(templatePath_));
    if (format_ == PageFormat::Xlsx) {
        auto loaded = sheets::XlsxTemplate::load(templatePath_);
        if (!loaded) return loaded.error();
        xlsxTemplate_.emplace(std::move(*loaded));
        return Status::Ok();
    }
    auto loaded = xls::ExportTemplate::load(templatePath_);
    if (!loaded) return loaded.error();
    template_.emplace(std::move(*loaded));
    return Status::Ok();
}

}  // namespace tabrovin
