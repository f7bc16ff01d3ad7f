#include "export/write_export_workbook.h"

#include "core/statements.h"

namespace tabrovin {

PageWriter::PageWriter(Session& s, const std::vector<ExportColumn>& columns) : s_(s) {
    for (const auto& c : columns) {
        headings_.push_back(c.heading);
        numbers_.push_back(c.column);
    }
}

Status PageWriter::write(const std::filesystem::path& out, int64_t low, int64_t high) {
    if (numbers_.empty()) return Error{err::kInvalidArgument, "没有要导出的列!"};
    if (!template_) {
        Status present = requireFile(s_.paths.exportTemplate(), "导出模板");
        template_ = present.ok() ? xls::ExportTemplate::load(s_.paths.exportTemplate())
                                 : Result<xls::ExportTemplate>(present.error());
    }
    if (!template_->ok()) return template_->error();
    auto query = statements::pageRows(numbers_, low, high);
    if (!query) return query.error();
    s_.window.setWidthTwips(Label::Label1, 1000);
    std::vector<std::string> cells;
    int width = 0;
    TABROVIN_TRY(s_.conn.readTexts(*query, cells, width));
    s_.window.setWidthTwips(Label::Label1, 2400);
    TABROVIN_TRY(template_->value().write(out, headings_, cells, numbers_.size()));
    s_.window.setWidthTwips(Label::Label1, 5000);
    return Status::Ok();
}

}  // namespace tabrovin
