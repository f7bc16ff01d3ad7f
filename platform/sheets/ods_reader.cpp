#include "platform/sheets/ods_reader.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/cell_text.h"
#include "platform/file_names.h"
#include "platform/sheets/cell_address.h"
#include "platform/sheets/row_assembler.h"
#include "platform/sheets/shared_book.h"
#include "platform/sheets/xml_stream.h"

namespace tabrovin::sheets {
namespace {

constexpr const char* kContent = "content.xml";

// The vocabularies by namespace URI; writers may bind them to any prefix.
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kCalcExt =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

struct OdsBook {
    std::unique_ptr<ZipArchive> zip;
    std::optional<FileIdentity> file;  // for sizes measured before
    std::vector<std::string> sheets;
};

// Collects the sheet names in order.
class SheetNames : public XmlHandler {
  public:
    SheetNames(std::vector<std::string>& names, const std::filesystem::path& file)
        : names_(names), file_(file) {}
    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (!name.is(kTable, "table") || depth_++ != 0) return;
        std::string_view sheet = attribute(attrs, kTable, "name");
        if (names_.size() >= kMaxSheets || sheet.size() > kMaxNameBytes)
            return fail(Error::damagedWorkbook(file_, "工作表过多或名称过长"));
        names_.emplace_back(sheet);
    }
    void end(const XmlName& name) override {
        if (name.is(kTable, "table")) --depth_;
    }

  private:
    std::vector<std::string>& names_;
    const std::filesystem::path& file_;
    int depth_ = 0;  // tables nested in cells are not sheets
};

// The cells of sheet `index` (0-based) in content.xml. Without a
// RowAssembler it only measures the sheet.
class SheetContent : public XmlHandler {
  public:
    SheetContent(const OdsBook& book, size_t index, RowAssembler* rows)
        : file_(book.zip->path()), index_(index), sheet_(book.sheets[index]), rows_(rows) {}
    SheetSize size;

    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (name.is(kTable, "table")) {
            if (depth_++ == 0) inTarget_ = seen_++ == index_;
            return;
        }
        if (!inTarget_ || depth_ != 1) return;
        if (name.is(kTable, "table-row")) return startRow(attrs);
        if (isCell(name)) return startCell(attrs);
        if (!inCell_) return;
        if (name.is(kOffice, "annotation")) ++annotation_;
        if (annotation_ || name.ns != kText) return;
        if (name.local == "p" || name.local == "h") {
            if (paragraphs_++ > 0) appendCellText(text_, "\n");
            ++inParagraph_;
        } else if (inParagraph_ && name.local == "s") {
            int32_t n = parsePositive(attribute(attrs, kText, "c"), 1 << 16);
            appendCellText(text_, std::string(n ? n : 1, ' '));
        } else if (inParagraph_ && name.local == "tab") {
            appendCellText(text_, "\t");
        } else if (inParagraph_ && name.local == "line-break") {
            appendCellText(text_, "\n");
        }
    }
    void end(const XmlName& name) override {
        if (name.is(kTable, "table")) {
            if (--depth_ == 0 && inTarget_) stopped = true;
            return;
        }
        if (!inTarget_ || depth_ != 1) return;
        if (isCell(name)) return finishCell();
        if (name.is(kTable, "table-row")) return finishRow();
        if (name.is(kOffice, "annotation"))
            --annotation_;
        else if ((name.is(kText, "p") || name.is(kText, "h")) && inParagraph_ && !annotation_)
            --inParagraph_;
    }
    void text(std::string_view t) override {
        if (inParagraph_ && !annotation_ && depth_ == 1) appendCellText(text_, t);
    }

  private:
    static bool isCell(const XmlName& name) {
        return name.ns == kTable &&
               (name.local == "table-cell" || name.local == "covered-table-cell");
    }
    // How many times a row or cell repeats: a count past the sheet's edge
    // reaches the edge; one that is no positive number at all makes the
    // following cells' places unknown, so the file is refused.
    bool repeatCount(std::string_view text, int32_t limit, int32_t& count) {
        count = 1;
        if (text.empty()) return true;
        bool digits = text.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digits || text.find_first_not_of('0') == std::string_view::npos) {
            fail(Error::damagedWorkbook(file_,
                                        "重复次数“" + std::string(text.substr(0, 20)) + "”无效",
                                        CellPlace(sheet_, rowStart_)));
            return false;
        }
        text.remove_prefix(text.find_first_not_of('0'));
        count = text.size() > 9 ? limit : std::min(std::atoi(std::string(text).c_str()), limit);
        return true;
    }
    void startRow(const XmlAttributes& attrs) {
        rowStart_ = nextRow_;
        if (!repeatCount(attribute(attrs, kTable, "number-rows-repeated"), kMaxRows, rowRepeat_))
            return;
        nextRow_ = std::min(nextRow_ + rowRepeat_, kMaxRows + 1);
        rowRepeat_ = std::min(rowRepeat_, kMaxRows + 1 - rowStart_);
        column_ = 1;
        rowHasValue_ = false;
        if (rowStart_ > kMaxRows || (rows_ && !rows_->startRow(rowStart_))) stopped = true;
    }
    void startCell(const XmlAttributes& attrs) {
        if (!repeatCount(attribute(attrs, kTable, "number-columns-repeated"), kMaxColumns,
                         columnRepeat_))
            return;
        std::string_view type = attribute(attrs, kOffice, "value-type");
        // An error result is stored as an empty string; its text is what shows.
        if (attribute(attrs, kCalcExt, "value-type") == "error") type = "error";
        value_.clear();
        if (type == "float" || type == "percentage" || type == "currency")
            value_ = attribute(attrs, kOffice, "value");
        else if (type == "date")
            value_ = attribute(attrs, kOffice, "date-value");
        else if (type == "time")
            value_ = attribute(attrs, kOffice, "time-value");
        else if (type == "boolean")
            value_ = attribute(attrs, kOffice, "boolean-value");
        else if (type == "string")
            value_ = attribute(attrs, kOffice, "string-value");
        type_ = type;
        text_.clear();
        paragraphs_ = inParagraph_ = annotation_ = 0;
        inCell_ = true;
    }
    bool cellText(std::string& out);
    void finishCell();
    void finishRow() {
        if (!rows_) return;
        if (!rowHasValue_) return rows_->discard();
        if (!rows_->emit(rowRepeat_)) stopped = true;
    }

    std::filesystem::path file_;
    size_t index_, seen_ = 0;
    const std::string& sheet_;
    RowAssembler* rows_;
    int depth_ = 0, paragraphs_ = 0, inParagraph_ = 0, annotation_ = 0;
    bool inTarget_ = false, inCell_ = false, rowHasValue_ = false;
    int32_t nextRow_ = 1, rowStart_ = 0, rowRepeat_ = 1, column_ = 1, columnRepeat_ = 1;
    std::string type_, value_, text_;
};

bool SheetContent::cellText(std::string& out) {
    const std::string& type = type_;
    if (type == "float" || type == "percentage" || type == "currency") {
        // A number shown as TRUE/FALSE is how a boolean result is stored.
        double v = 0;
        if ((text_ == "TRUE" || text_ == "FALSE") && parseXmlNumber(value_, v) &&
            v == (text_ == "TRUE" ? 1 : 0)) {
            out = text_;
        } else if (!xmlNumberText(value_, out)) {
            status = Error::cellConversion("数值“" + value_ + "”无效",
                                           CellPlace(sheet_, rowStart_, column_));
            stopped = true;
            return false;
        }
    } else if (type == "date") {
        out = isoDateText(value_);
    } else if (type == "time") {
        out = isoDurationText(value_);
    } else if (type == "boolean") {
        out = cell_text::boolean(value_ == "true" || value_ == "1");
    } else if (type == "string" && !value_.empty()) {
        out = value_;
    } else {
        out = text_;
    }
    // A date or time that does not parse is its text, and finished as any text.
    finishCellText(out);
    return true;
}

void SheetContent::finishCell() {
    inCell_ = false;
    std::string text;
    int32_t column = column_;
    column_ = std::min(column_ + columnRepeat_, kMaxColumns + 1);
    if (column > kMaxColumns || !cellText(text) || text.empty()) return;
    int32_t lastColumn = column_ - 1;
    size.rows = std::max(size.rows, rowStart_ + rowRepeat_ - 1);
    size.columns = std::max(size.columns, lastColumn);
    rowHasValue_ = true;
    if (!rows_) return;
    for (int32_t c = column; c <= lastColumn && rows_->wantsColumn(c); ++c)
        if (!rows_->set(c, text)) {
            stopped = true;
            return;
        }
}

class OdsWorksheet : public ScannedWorksheet<OdsWorksheet, OdsBook> {
  public:
    OdsWorksheet(std::shared_ptr<const OdsBook> book, size_t index)
        : ScannedWorksheet(std::move(book)), index_(index) {}

  private:
    friend ScannedWorksheet;
    SheetContent part(RowAssembler* rows) const { return SheetContent(*book_, index_, rows); }
    Status scan(SheetContent& content) const {
        return parseZipPart(*book_->zip, kContent, content);
    }

    size_t index_;
};

using OdsWorkbook = SharedBookWorkbook<OdsBook, OdsWorksheet>;

}  // namespace

Result<std::unique_ptr<Workbook>> openOds(std::unique_ptr<ZipArchive> zip,
                                          const std::filesystem::path& path) {
    if (zip->has("META-INF/manifest.xml")) {
        auto manifest = zip->read("META-INF/manifest.xml", 16u << 20);
        if (manifest && manifest->find("encryption-data") != std::string::npos)
            return Error::encryptedWorkbook(path);
    }
    auto book = std::make_shared<OdsBook>();
    book->file = FileIdentity::of(path);
    book->zip = std::move(zip);
    SheetNames names(book->sheets, path);
    TABROVIN_TRY(guarded(path, [&] { return parseZipPart(*book->zip, kContent, names); }));
    if (book->sheets.empty()) return Error::damagedWorkbook(path, "其中没有工作表");
    return std::unique_ptr<Workbook>(std::make_unique<OdsWorkbook>(std::move(book)));
}

}  // namespace tabrovin::sheets
