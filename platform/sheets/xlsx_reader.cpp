#include "platform/sheets/xlsx_reader.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "platform/cell_text.h"
#include "platform/encoding.h"
#include "platform/file_names.h"
#include "platform/sheets/cell_address.h"
#include "platform/sheets/row_assembler.h"
#include "platform/sheets/shared_book.h"
#include "platform/sheets/size_scan.h"
#include "platform/sheets/xml_stream.h"

namespace tabrovin::sheets {
namespace {

using cell_text::DateKind;

// The vocabularies by namespace URI, in their transitional and strict forms.
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kStrictMainNs = "http://purl.oclc.org/ooxml/spreadsheetml/main";
constexpr std::string_view kRelationsNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kStrictRelationsNs =
    "http://purl.oclc.org/ooxml/officeDocument/relationships";
constexpr std::string_view kPackageRelationsNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";

// Whether `name` is of the spreadsheet vocabulary. Parts written by hand
// sometimes leave out the namespace; extensions (x14:, x15:) reuse local
// names in their own namespaces and are not it.
bool inMain(const XmlName& name) {
    return name.ns == kMainNs || name.ns == kStrictMainNs || name.ns.empty();
}

// inMain for the names of one stream, which hands out equal URIs as the
// same bytes: once a URI was found to be the vocabulary's, its address says so.
class MainNamespace {
  public:
    bool has(const XmlName& name) {
        if (!seen_.empty() && name.ns.data() == seen_.data() && name.ns.size() == seen_.size())
            return true;
        if (!inMain(name)) return false;
        seen_ = name.ns;
        return true;
    }

  private:
    std::string_view seen_;
};

// Element `local` of the spreadsheet vocabulary.
bool isMain(const XmlName& name, std::string_view local) {
    return name.local == local && inMain(name);
}

// The UTF-16 code unit of the escape "_xHHHH_" at `at` of `s`, or -1.
int escapedUnit(std::string_view s, size_t at) {
    if (at + 7 > s.size() || s[at] != '_' || s[at + 1] != 'x' || s[at + 6] != '_') return -1;
    int unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        char c = s[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// Text as Excel stores it: characters XML cannot carry are written as
// "_xHHHH_" (UTF-16 units, "_x005F_" for an underscore that would otherwise
// start one). Decoded into `out`, NUL characters dropped as everywhere
// else, and cut to a cell's length.
void cellString(std::string_view s, std::string& out) {
    // Most texts hold no escape: one look, and they are only finished.
    if (s.find('_') == std::string_view::npos) {
        out.assign(s);
        finishCellText(out);
        return;
    }
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (size_t escape = s.find("_x", i); escape != i) {
            escape = std::min(escape, s.size());
            out.append(s.substr(i, escape - i));
            i = escape;
            continue;
        }
        int unit = escapedUnit(s, i);
        if (unit < 0) {
            out += s[i++];
            continue;
        }
        i += 7;
        char32_t c = static_cast<char32_t>(unit);
        if (unit >= 0xD800 && unit < 0xDC00) {
            int low = escapedUnit(s, i);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + static_cast<char32_t>(low - 0xDC00);
                i += 7;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // half of a pair
        encoding::appendUtf8(out, c);
    }
    finishCellText(out);
}

std::string cellString(std::string_view s) {
    std::string out;
    cellString(s, out);
    return out;
}

std::string_view relationId(const XmlAttributes& attrs) {
    std::string_view id = attribute(attrs, kRelationsNs, "id");
    return id.empty() ? attribute(attrs, kStrictRelationsNs, "id") : id;
}

struct XlsxBook {
    std::unique_ptr<ZipArchive> zip;
    std::optional<FileIdentity> file;  // for sizes measured before
    struct Sheet {
        std::string name, relation, part;
    };
    std::vector<Sheet> sheets;
    // Shared strings back to back in one buffer: millions of small strings
    // as separate std::string objects would double the memory they take.
    std::string stringPool;
    std::vector<size_t> stringEnds;
    size_t stringCount() const { return stringEnds.size(); }
    std::string_view string(size_t i) const {
        size_t begin = i ? stringEnds[i - 1] : 0;
        return std::string_view(stringPool).substr(begin, stringEnds[i] - begin);
    }
    std::vector<DateKind> xfKinds;
    bool date1904 = false;
};

// xl/workbook.xml: sheet names in tab order and the date system.
class WorkbookPart : public XmlHandler {
  public:
    explicit WorkbookPart(XlsxBook& book) : book_(book) {}
    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (isMain(name, "workbookPr")) {
            auto v = attribute(attrs, "date1904");
            book_.date1904 = v == "1" || v == "true";
        } else if (isMain(name, "sheet")) {
            std::string_view sheet = attribute(attrs, "name"), id = relationId(attrs);
            if (book_.sheets.size() >= kMaxSheets)
                return fail(damaged("工作表超过 " + std::to_string(kMaxSheets) + " 个"));
            if (sheet.size() > kMaxNameBytes || id.size() > kMaxNameBytes)
                return fail(damaged("工作表名称过长"));
            book_.sheets.push_back({cellString(sheet), std::string(id), {}});
        }
    }
    void end(const XmlName&) override {}

  private:
    Error damaged(const std::string& why) const {
        return Error::damagedWorkbook(book_.zip->path(), why);
    }
    XlsxBook& book_;
};

// The part `target` names, relative to folder `base` ("xl/") of the part
// that refers to it; "" when it leaves the package.
std::string resolvePart(std::string_view base, std::string_view target) {
    std::vector<std::string_view> steps;
    std::string_view path = target;
    std::string joined;
    if (path.starts_with("/")) {
        path.remove_prefix(1);
    } else {
        joined = std::string(base) + std::string(target);
        path = joined;
    }
    for (size_t at = 0; at <= path.size();) {
        size_t slash = std::min(path.find('/', at), path.size());
        std::string_view step = path.substr(at, slash - at);
        if (step == "..") {
            if (steps.empty()) return {};
            steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        at = slash + 1;
    }
    std::string out;
    for (auto step : steps) out += (out.empty() ? "" : "/") + std::string(step);
    return out;
}

// The relationships part of `part`: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string relationsOf(std::string_view part) {
    size_t slash = part.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? "" : part.substr(0, slash + 1);
    return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

std::string folderOf(std::string_view part) {
    size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
}

// A relationships part: id -> target part and the last segment of its type
// ("worksheet", "chartsheet", "officeDocument"...).
class RelationsPart : public XmlHandler {
  public:
    struct Target {
        std::string part, type;
    };
    RelationsPart(const std::filesystem::path& file, std::string base)
        : file_(file), base_(std::move(base)) {}
    std::map<std::string, Target, std::less<>> targets;
    std::string sharedStrings, styles, officeDocument;
    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (name.local != "Relationship" || !(name.ns == kPackageRelationsNs || name.ns.empty()))
            return;
        if (targets.size() >= kMaxRelations || attribute(attrs, "Target").size() > kMaxNameBytes ||
            attribute(attrs, "Id").size() > kMaxNameBytes)
            return fail(Error::damagedWorkbook(file_, "关系表过大"));
        if (attribute(attrs, "TargetMode") == "External") return;
        std::string part = resolvePart(base_, attribute(attrs, "Target"));
        std::string_view type = attribute(attrs, "Type");
        type = type.substr(type.rfind('/') + 1);
        targets[std::string(attribute(attrs, "Id"))] = {part, std::string(type)};
        if (type == "sharedStrings") sharedStrings = part;
        if (type == "styles") styles = part;
        if (type == "officeDocument" && officeDocument.empty()) officeDocument = part;
    }
    void end(const XmlName&) override {}

  private:
    const std::filesystem::path& file_;
    std::string base_;
};

// Stops at the root element, remembering whether it is a workbook.
class RootElement : public XmlHandler {
  public:
    bool workbook = false;
    void start(const XmlName& name, const XmlAttributes&) override {
        workbook = isMain(name, "workbook");
        stopped = true;
    }
    void end(const XmlName&) override {}
};

// xl/styles.xml: which cell formats (xf) show their numbers as dates.
class StylesPart : public XmlHandler {
  public:
    StylesPart(std::vector<DateKind>& kinds, const std::filesystem::path& file)
        : kinds_(kinds), file_(file) {}
    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (custom_.size() >= kMaxStyles || kinds_.size() >= kMaxStyles)
            return fail(Error::damagedWorkbook(
                file_, "单元格格式超过 " + std::to_string(kMaxStyles) + " 个"));
        if (isMain(name, "numFmt")) {
            int id = parsePositive(attribute(attrs, "numFmtId"), INT32_MAX);
            custom_[id] = cell_text::classifyFormat(attribute(attrs, "formatCode"));
        } else if (isMain(name, "cellXfs")) {
            inCellXfs_ = true;
        } else if (isMain(name, "xf") && inCellXfs_) {
            int id = parsePositive(attribute(attrs, "numFmtId"), INT32_MAX);
            auto it = custom_.find(id);
            kinds_.push_back(it != custom_.end() ? it->second
                                                 : cell_text::classifyBuiltinFormat(id));
        }
    }
    void end(const XmlName& name) override {
        if (isMain(name, "cellXfs")) inCellXfs_ = false;
    }

  private:
    std::vector<DateKind>& kinds_;
    const std::filesystem::path& file_;
    std::map<int, DateKind> custom_;
    bool inCellXfs_ = false;
};

// xl/sharedStrings.xml: each <si>'s text runs, without phonetic (rPh) runs.
class SharedStringsPart : public XmlHandler {
  public:
    explicit SharedStringsPart(XlsxBook& book) : book_(book) {}
    void start(const XmlName& name, const XmlAttributes&) override {
        if (isMain(name, "si"))
            current_.clear();
        else if (isMain(name, "rPh"))
            ++phonetic_;
        else if (isMain(name, "t") && phonetic_ == 0)
            inText_ = true;
    }
    void end(const XmlName& name) override {
        if (isMain(name, "si")) {
            std::string text = cellString(current_);
            if (book_.stringCount() >= kMaxSharedStrings ||
                book_.stringPool.size() + text.size() > kMaxSharedStringBytes)
                return fail(Error::damagedWorkbook(book_.zip->path(), "共享字符串表过大"));
            book_.stringPool += text;
            book_.stringEnds.push_back(book_.stringPool.size());
        } else if (isMain(name, "rPh"))
            --phonetic_;
        else if (isMain(name, "t"))
            inText_ = false;
    }
    void text(std::string_view t) override {
        if (inText_) appendCellText(current_, t);
    }

  private:
    XlsxBook& book_;
    std::string current_;
    int phonetic_ = 0;
    bool inText_ = false;
};

CellType cellType(std::string_view t) {
    if (t == "s") return CellType::Shared;
    if (t == "str") return CellType::Text;
    if (t == "inlineStr") return CellType::Inline;
    if (t == "b") return CellType::Boolean;
    if (t == "e") return CellType::Error;
    if (t == "d") return CellType::Date;
    return CellType::Number;
}

}  // namespace

namespace {

// One worksheet part, from the full parse or from the scan. Without a
// RowAssembler it only measures the sheet.
class SheetPart : public XmlHandler, public ScannedCells {
  public:
    SheetPart(const XlsxBook& book, const std::filesystem::path& file, const std::string& sheet,
              RowAssembler* rows)
        : book_(book), file_(file), sheet_(sheet), rows_(rows) {}

    SheetSize size;
    bool measuring() const { return !rows_; }
    RowAssembler* rows() const { return rows_; }
    const std::filesystem::path& file() const { return file_; }
    // The same part read from its start again.
    SheetPart again() const { return SheetPart(book_, file_, sheet_, rows_); }

    bool row(int32_t row) override {
        enterRow(row);
        return !stopped;
    }
    bool cell(int32_t column, CellType type, std::string_view style,
              std::string_view value) override {
        enterCell(column, type, style);
        hasValue_ = true;
        finishValue(value.substr(0, kMaxCellBytes));
        return !stopped;
    }

    // Every element that matters is in the main namespace: it is checked
    // once, then only the local name, millions of times on a large sheet.
    void start(const XmlName& name, const XmlAttributes& attrs) override {
        if (!main_.has(name)) return;
        const std::string_view local = name.local;
        if (local == "sheetData") inData_ = true;
        if (!inData_) return;
        if (local == "c") return startCell(attrs);
        if (local == "v") {
            // An inline string's text is in <is>; a <v> beside it is stale.
            if (type_ != CellType::Inline) inValue_ = hasValue_ = true;
        } else if (local == "row") {
            startRow(attrs);
        } else if (local == "is") {
            inInline_ = hasValue_ = true;
        } else if (local == "rPh") {
            ++phonetic_;
        } else if (local == "t" && inInline_ && phonetic_ == 0) {
            inValue_ = true;
        }
    }
    void end(const XmlName& name) override {
        if (!main_.has(name)) return;
        const std::string_view local = name.local;
        if (local == "v" || local == "t")
            inValue_ = false;
        else if (local == "c" && inData_)
            finishCell();
        else if (local == "is")
            inInline_ = false;
        else if (local == "rPh")
            --phonetic_;
        else if (local == "sheetData")
            stopped = true;  // nothing after it holds cells
    }
    void text(std::string_view t) override {
        if (inValue_) appendCellText(value_, t);
    }

  private:
    // The sheet's part is damaged: `why` at `where`.
    void damaged(const std::string& why, int32_t row = 0, int32_t column = 0) {
        XmlHandler::fail(Error::damagedWorkbook(file_, why, CellPlace(sheet_, row, column)));
    }
    void startRow(const XmlAttributes& attrs) {
        // A row without a number, or numbered 0 (which no spreadsheet
        // writes), is the row after the previous one.
        std::string_view r = attribute(attrs, "r");
        bool next = r.find_first_not_of('0') == std::string_view::npos;
        int32_t row = next ? row_ + 1 : parsePositive(r, kMaxRows);
        if (row == 0 || row > kMaxRows)
            return damaged("行号“" + std::string(r) + "”无效（在第 " + std::to_string(row_) +
                           " 行之后）");
        enterRow(row);
    }
    void enterRow(int32_t row) {
        row_ = row;
        column_ = 0;
        if (rows_ && !rows_->startRow(row)) stopped = true;
    }
    void startCell(const XmlAttributes& attrs) {
        // A cell's three attributes in one look over them, the first of each
        // as attribute() would find it; this runs for every cell.
        std::string_view ref, type, style;
        bool seen[3] = {};
        for (const XmlAttribute& a : attrs) {
            if (a.name.size() != 1 || !a.ns.empty()) continue;
            const int k = a.name[0] == 'r' ? 0 : a.name[0] == 't' ? 1 : a.name[0] == 's' ? 2 : -1;
            if (k < 0 || std::exchange(seen[k], true)) continue;
            (k == 0 ? ref : k == 1 ? type : style) = a.value;
        }
        int32_t row = 0, column = column_ + 1;
        if (!ref.empty() && !parseCellReference(ref, row, column))
            return damaged("单元格地址“" + std::string(ref) + "”无效");
        if (row_ == 0 || column > kMaxColumns) return damaged("单元格不在任何行中");
        enterCell(column, cellType(type), style);
    }
    void enterCell(int32_t column, CellType type, std::string_view style) {
        column_ = column;
        type_ = type;
        xf_ = parsePositive(style, 1 << 20);
        value_.clear();
        hasValue_ = inValue_ = inInline_ = false;
        phonetic_ = 0;
    }
    void finishCell() {
        if (hasValue_) finishValue(value_);
    }
    void finishValue(std::string_view value);
    bool cellText(std::string_view value, std::string& out);

    const XlsxBook& book_;
    const std::filesystem::path& file_;
    const std::string& sheet_;
    RowAssembler* rows_;
    MainNamespace main_;
    bool inData_ = false, inValue_ = false, inInline_ = false, hasValue_ = false;
    int phonetic_ = 0;
    int32_t row_ = 0, column_ = 0, xf_ = 0;
    CellType type_ = CellType::Number;
    std::string value_, text_;
};

// The text the cell shows; false (with status set) when its value is invalid.
// When only measuring, numbers are not formatted: any value is non-empty.
bool SheetPart::cellText(std::string_view value, std::string& out) {
    switch (type_) {
        case CellType::Shared: {
            if (value.empty()) return true;  // no index: an empty cell
            int32_t index = value == "0" ? 0 : parsePositive(value, INT32_MAX);
            if ((index == 0 && value != "0") || static_cast<size_t>(index) >= book_.stringCount()) {
                damaged("引用了不存在的共享字符串“" + std::string(value) + "”", row_, column_);
                return false;
            }
            out.assign(book_.string(index));
            return true;
        }
        case CellType::Boolean:
            out = cell_text::boolean(value == "1" || value == "true");
            return true;
        case CellType::Date:
            out = isoDateText(value);  // a date that does not parse is its text
            finishCellText(out);
            return true;
        case CellType::Text:
        case CellType::Inline:
            cellString(value, out);
            return true;
        case CellType::Error:
            out.assign(value);
            finishCellText(out);
            return true;
        case CellType::Number:
            break;
    }
    if (value.empty() || !rows_) {
        out.assign(value);
        return true;
    }
    DateKind kind =
        static_cast<size_t>(xf_) < book_.xfKinds.size() ? book_.xfKinds[xf_] : DateKind::None;
    double v = 0;
    const bool number =
        kind == DateKind::None ? xmlNumberText(value, out) : parseXmlNumber(value, v);
    if (!number) {
        XmlHandler::fail(Error::cellConversion("数值“" + std::string(value) + "”无效",
                                               CellPlace(sheet_, row_, column_)));
        return false;
    }
    if (kind != DateKind::None) out = cell_text::date(v, kind, book_.date1904);
    return true;
}

void SheetPart::finishValue(std::string_view value) {
    text_.clear();
    if (!cellText(value, text_) || text_.empty()) return;
    size.rows = std::max(size.rows, row_);
    size.columns = std::max(size.columns, column_);
    if (rows_ && rows_->wantsColumn(column_) && !rows_->set(column_, text_)) stopped = true;
}

// The size of worksheet part `part` by the quick scan, when it can tell; a
// part that fails to inflate is left to the full parse to report.
std::optional<SheetSize> scannedSize(const XlsxBook& book, const std::string& part) {
    return scanZipPart(*book.zip, part, book.stringEnds);
}

// Reads the cells of the worksheet part `name`, as `feed` gives it, into
// `part`, which reads rows: by the scan, and where the scan cannot go on, or
// a value is refused (which the full parse reports), by the full parse after
// the rows the scan sent. `scanned` tells whether the scan read it all.
Status readCells(const XlsxBook& book, const PartFeed& feed, std::string_view name, SheetPart& part,
                 ReadBy how, bool& scanned) {
    scanned = false;
    if (how == ReadBy::Scan) {
        SheetSizeScan scan(book.stringEnds, &part);
        const bool fed = feed([&](std::string_view c) { return scan.feed(c); }).ok();
        if (fed && scan.read() && part.status.ok()) return scanned = true, Status::Ok();
        part.rows()->rewind();
    }
    SheetPart full = part.again();
    return parsePart(feed, full.file(), name, full);
}

PartFeed zipFeed(const ZipArchive& zip, const std::string& part) {
    return [&zip, &part](const std::function<bool(std::string_view)>& chunk) {
        return zip.streamAhead(part, chunk);
    };
}

// The size of the worksheet part by the full parse.
Result<SheetSize> parsedSize(const XlsxBook& book, const XlsxBook::Sheet& sheet) {
    SheetPart part(book, book.zip->path(), sheet.name, nullptr);
    TABROVIN_TRY(parseZipPart(*book.zip, sheet.part, part));
    TABROVIN_TRY(part.status);
    return part.size;
}

class XlsxWorksheet : public ScannedWorksheet<XlsxWorksheet, XlsxBook> {
  public:
    XlsxWorksheet(std::shared_ptr<const XlsxBook> book, size_t index)
        : ScannedWorksheet(std::move(book)), sheet_(book_->sheets[index]) {}

  private:
    friend ScannedWorksheet;
    SheetPart part(RowAssembler* rows) const {
        return SheetPart(*book_, book_->zip->path(), sheet_.name, rows);
    }
    Status scan(SheetPart& part) const {
        if (part.measuring()) {
            if (auto size = scannedSize(*book_, sheet_.part)) {
                part.size = *size;
                return Status::Ok();
            }
            return parse(part);
        }
        bool scanned = false;
        return readCells(*book_, zipFeed(*book_->zip, sheet_.part), sheet_.part, part, ReadBy::Scan,
                         scanned);
    }
    Status parse(SheetPart& part) const {
        TABROVIN_TRY(parseZipPart(*book_->zip, sheet_.part, part));
        return part.status;
    }

    const XlsxBook::Sheet& sheet_;
};

using XlsxWorkbook = SharedBookWorkbook<XlsxBook, XlsxWorksheet>;

// Keeps the worksheets of the book's sheet list, in order, with their parts:
// chart, dialog and macro sheets hold no table and are not counted, as in
// .xls workbooks; a worksheet whose relationship or part is missing makes
// the package damaged.
Status findSheetParts(XlsxBook& book, const RelationsPart& relations) {
    std::vector<XlsxBook::Sheet> kept;
    for (auto& sheet : book.sheets) {
        auto it = relations.targets.find(sheet.relation);
        if (it == relations.targets.end())
            return Error::damagedWorkbook(
                book.zip->path(), "工作表“" + sheet.name + "”的关系“" + sheet.relation + "”不存在");
        if (it->second.type != "worksheet") continue;
        if (it->second.part.empty() || !book.zip->has(it->second.part))
            return Error::damagedWorkbook(book.zip->path(), "工作表“" + sheet.name + "”的内容“" +
                                                                it->second.part + "”不存在");
        sheet.part = it->second.part;
        kept.push_back(std::move(sheet));
    }
    book.sheets = std::move(kept);
    return Status::Ok();
}

Status readBookParts(XlsxBook& book, const std::string& workbookPart) {
    WorkbookPart workbook(book);
    TABROVIN_TRY(parseZipPart(*book.zip, workbookPart, workbook));
    RelationsPart relations(book.zip->path(), folderOf(workbookPart));
    if (book.zip->has(relationsOf(workbookPart)))
        TABROVIN_TRY(parseZipPart(*book.zip, relationsOf(workbookPart), relations));
    TABROVIN_TRY(findSheetParts(book, relations));
    if (!relations.styles.empty() && book.zip->has(relations.styles)) {
        StylesPart styles(book.xfKinds, book.zip->path());
        TABROVIN_TRY(parseZipPart(*book.zip, relations.styles, styles));
    }
    if (!relations.sharedStrings.empty() && book.zip->has(relations.sharedStrings)) {
        SharedStringsPart strings(book);
        TABROVIN_TRY(parseZipPart(*book.zip, relations.sharedStrings, strings));
    }
    return Status::Ok();
}

}  // namespace

Result<std::string> workbookPart(const ZipArchive& zip) {
    std::string part;
    Status found = guarded(zip.path(), [&]() -> Status {
        if (zip.has("_rels/.rels")) {
            RelationsPart root(zip.path(), "");
            TABROVIN_TRY(parseZipPart(zip, "_rels/.rels", root));
            part = root.officeDocument;
        } else if (zip.has("xl/workbook.xml")) {
            part = "xl/workbook.xml";  // packages put together by hand may lack the root relations
        }
        if (part.empty()) return Status::Ok();
        if (!zip.has(part))
            return Error::damagedWorkbook(zip.path(), "压缩包中的主文档“" + part + "”不存在");
        RootElement root;
        TABROVIN_TRY(parseZipPart(zip, part, root));
        if (!root.workbook) part.clear();
        return Status::Ok();
    });
    if (!found.ok()) return found.error();
    return part;
}

namespace {

// The book of the .xlsx at `path` with its parts read, and the index of
// its worksheet `number`, for the functions that check one way against another.
Result<size_t> openForChecks(const std::filesystem::path& path, int number, XlsxBook& book) {
    auto zip = ZipArchive::open(path);
    if (!zip.ok()) return zip.error();
    auto part = workbookPart(**zip);
    TABROVIN_TRY(part);
    if (part->empty()) return Error::notWorkbook(path, "压缩包中没有 Excel 工作簿");
    book.zip = std::move(*zip);
    TABROVIN_TRY(guarded(path, [&] { return readBookParts(book, *part); }));
    const int count = static_cast<int>(book.sheets.size());
    if (number < 1 || number > count) return Error::noSuchSheet(number, count);
    return static_cast<size_t>(number - 1);
}

void addStrings(XlsxBook& book, const std::vector<std::string>& strings) {
    for (const auto& s : strings) {
        book.stringPool += s;
        book.stringEnds.push_back(book.stringPool.size());
    }
}

// Reads rows of `part` (named `name`, fed by `feed`) as `trial` asks into `out`.
void readForChecks(const XlsxBook& book, const PartFeed& feed, const std::string& name, ReadBy how,
                   const SheetReadTrial& trial, SheetRead& out) {
    const std::filesystem::path file = "sheet.xlsx";
    const std::string sheet = "S1";
    RowSink sink = [&](int32_t row, const std::vector<std::string>& cells) -> Status {
        if (row == trial.failAt) return Error::cancelled("");
        out.rows.emplace_back(row, cells);
        return Status::Ok();
    };
    RowAssembler rows(trial.first, trial.last, trial.columns, sink, file);
    SheetPart part(book, file, sheet, &rows);
    out.status = guarded(file, [&]() -> Status {
        TABROVIN_TRY(readCells(book, feed, name, part, how, out.scanned));
        return rows.finish();
    });
}

}  // namespace

Result<std::optional<SheetSize>> measureXlsxSheet(const std::filesystem::path& path, int number,
                                                  MeasureBy how) {
    XlsxBook book;
    auto index = openForChecks(path, number, book);
    TABROVIN_TRY(index);
    const XlsxBook::Sheet& sheet = book.sheets[*index];
    if (how == MeasureBy::Scan) return scannedSize(book, sheet.part);
    auto size = parsedSize(book, sheet);
    TABROVIN_TRY(size);
    return std::optional<SheetSize>(*size);
}

Result<SheetSize> parsedSheetSize(std::string_view xml, const std::vector<std::string>& strings) {
    XlsxBook book;
    addStrings(book, strings);
    const std::filesystem::path file = "sheet.xlsx";
    const std::string sheet = "S1";
    SheetPart part(book, file, sheet, nullptr);
    XmlStream stream(part);
    if (!stream.feed(xml) && stream.malformed())
        return Error::damagedWorkbook(file, stream.message());
    if (!stream.finish()) return Error::damagedWorkbook(file, stream.message());
    TABROVIN_TRY(part.status);
    return part.size;
}

SheetRead readSheetXml(std::string_view xml, const std::vector<std::string>& strings, ReadBy how,
                       const SheetReadTrial& trial) {
    XlsxBook book;
    addStrings(book, strings);
    auto feed = [&](const std::function<bool(std::string_view)>& chunk) {
        for (size_t at = 0; at < xml.size() && chunk(xml.substr(at, trial.chunk));
             at += std::min(trial.chunk, xml.size())) {
        }
        return Status::Ok();
    };
    SheetRead out;
    readForChecks(book, feed, "sheet1.xml", how, trial, out);
    return out;
}

Result<SheetRead> readXlsxSheet(const std::filesystem::path& path, int number, ReadBy how) {
    XlsxBook book;
    auto index = openForChecks(path, number, book);
    TABROVIN_TRY(index);
    const XlsxBook::Sheet& sheet = book.sheets[*index];
    auto size = parsedSize(book, sheet);
    TABROVIN_TRY(size);
    SheetRead out;
    readForChecks(book, zipFeed(*book.zip, sheet.part), sheet.part, how,
                  {1, size->rows, size->columns, 0, SIZE_MAX}, out);
    return out;
}

Result<std::string> firstWorksheetPart(std::unique_ptr<ZipArchive>& zip,
                                       const std::string& workbookPart) {
    XlsxBook book;
    book.zip = std::move(zip);
    Status found = guarded(book.zip->path(), [&]() -> Status {
        WorkbookPart workbook(book);
        TABROVIN_TRY(parseZipPart(*book.zip, workbookPart, workbook));
        RelationsPart relations(book.zip->path(), folderOf(workbookPart));
        if (book.zip->has(relationsOf(workbookPart)))
            TABROVIN_TRY(parseZipPart(*book.zip, relationsOf(workbookPart), relations));
        return findSheetParts(book, relations);
    });
    zip = std::move(book.zip);
    if (!found.ok()) return found.error();
    if (book.sheets.empty()) return Error::damagedWorkbook(zip->path(), "其中没有工作表");
    return book.sheets.front().part;
}

Result<std::unique_ptr<Workbook>> openXlsx(std::unique_ptr<ZipArchive> zip,
                                           const std::string& workbookPart) {
    const std::filesystem::path path = zip->path();
    auto book = std::make_shared<XlsxBook>();
    book->zip = std::move(zip);
    book->file = FileIdentity::of(path);
    TABROVIN_TRY(guarded(path, [&] { return readBookParts(*book, workbookPart); }));
    if (book->sheets.empty()) return Error::damagedWorkbook(path, "其中没有工作表");
    return std::unique_ptr<Workbook>(std::make_unique<XlsxWorkbook>(std::move(book)));
}

}  // namespace tabrovin::sheets
