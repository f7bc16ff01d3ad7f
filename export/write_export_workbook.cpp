#include "export/write_export_workbook.h"

#include "core/statements.h"
#include "platform/xls/xls_writer.h"

namespace tabrovin {

class ExportTemplateCache {
  public:
    std::optional<Result<xls::ExportTemplate>> loaded;
};

PageWriter::PageWriter(Session& s, std::vector<ExportColumn> columns)
    : s_(s), columns_(std::move(columns)), template_(std::make_unique<ExportTemplateCache>()) {}

PageWriter::~PageWriter() = default;

Status PageWriter::write(const std::filesystem::path& out, int64_t low, int64_t high) {
    if (columns_.empty()) return Error{err::kInvalidArgument, "没有要导出的列!"};
    if (!template_->loaded) {
        Status present = requireFile(s_.paths.exportTemplate(), "导出模板");
        template_->loaded = present.ok() ? xls::ExportTemplate::load(s_.paths.exportTemplate())
                                         : Result<xls::ExportTemplate>(present.error());
    }
    if (!template_->loaded->ok()) return template_->loaded->error();
    std::vector<std::string> headings;
    std::vector<int> numbers;
    for (const auto& c : columns_) {
        headings.push_back(c.heading);
        numbers.push_back(c.column);
    }
    auto query = statements::pageRows(numbers, low, high);
    if (!query) return query.error();
    s_.window.setWidthTwips(Label::Label1, 1000);
    std::vector<std::string> cells;
    int width = 0;
    TABROVIN_TRY(s_.conn.readTexts(*query, cells, width));
    s_.window.setWidthTwips(Label::Label1, 2400);
    TABROVIN_TRY(template_->loaded->value().write(out, headings, cells, columns_.size()));
    s_.window.setWidthTwips(Label::Label1, 5000);
    return Status::Ok();
}

}  // namespace tabrovin
