#include "platform/xls/biff_workbook.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "platform/cell_text.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/biff_strings.h"

namespace tabrovin::xls {
namespace {

using cell_text::DateKind;

// .xls sheets have 256 columns; a cell past them means the record is garbage.
constexpr uint16_t kMaxColumns = 256;

struct Globals {
    std::filesystem::path file;  // named in messages
    std::vector<uint8_t> stream;
    bool biff8 = true;
    // An Excel 3.0 or 4.0 worksheet file: one sheet, its formats and cell
    // formats in the same stream, formats numbered by their order.
    bool oldSheet = false;
    uint16_t oldFormats = 0;
    int codePage = 0;  // BIFF5 only; 0 when the workbook names none
    bool date1904 = false;
    std::vector<DateKind> xfKinds;  // by XF index
    StringTable sst;
    std::vector<uint32_t> sheetOffsets;  // worksheets, in the order shown
};

const char kSaveAgain[] =
    "请在 Excel 或 WPS 中打开它，另存为“Excel 97-2003 工作簿（.xls）”或 .xlsx 后再导入";

// Excel 2.x to 4.0 wrote a single worksheet (or a bundle of them) without
// the container and records this reader knows.
Error oldExcel(const std::filesystem::path& file) {
    return Error::unsupportedWorkbook(
        file, std::string("这是 Excel 2.x–4.0 的旧版工作簿，本程序无法读取；") + kSaveAgain);
}

bool isOldSheetBof(const Record& r) {
    return (r.type == rec::kBof3 || r.type == rec::kBof4) && r.data.size() >= 4 &&
           u16(r.data, 2) == 0x0010;
}

// The first record decides the BIFF version.
Status checkGlobalsBof(const Record& r, const std::filesystem::path& file, bool& biff8,
                       bool& oldSheet) {
    Biff biff = biffOf(r.type, r.data);
    oldSheet = isOldSheetBof(r);
    biff8 = false;
    if (oldSheet) return Status::Ok();
    if (biff == Biff::Old) return oldExcel(file);
    if (r.type != rec::kBof)
        return Error::notWorkbook(file, "工作簿数据不以 BOF 记录开头，不是 .xls 工作簿");
    if (biff == Biff::NotBof) return Error::damagedWorkbook(file, "工作簿开头的 BOF 记录过短");
    if (u16(r.data, 2) != 0x0005)
        return Error::unsupportedWorkbook(
            file, std::string("工作簿开头缺少工作簿全局信息，可能是 Excel 4.0 或更早的工作簿；") +
                      kSaveAgain);
    biff8 = biff == Biff::V8;
    return Status::Ok();
}

// A format that cannot be read costs that format alone: its cells show as
// General would.
void readFormat(const Record& r, Globals& g, std::map<uint16_t, DateKind>& formats) {
    SegmentCursor cur(r);
    if (g.oldSheet) {
        std::string code;
        bool ok =
            (r.type != rec::kFormat || cur.skip(2)) && readByteString(cur, 1, g.codePage, code);
        formats[g.oldFormats++] = ok ? cell_text::classifyFormat(code) : DateKind::None;
        return;
    }
    uint16_t id = 0;
    std::string code;
    std::u16string scratch;
    if (!cur.readU16(id)) return;
    bool ok = g.biff8 ? readUnicodeString(cur, 2, scratch, code)
                      : readByteString(cur, 1, g.codePage, code);
    formats[id] = ok ? cell_text::classifyFormat(code) : DateKind::None;
}

Status readBoundSheet(const Record& r, Globals& g) {
    int number = static_cast<int>(g.sheetOffsets.size()) + 1;
    if (r.data.size() < 6)
        return Error::damagedWorkbook(g.file, "工作表目录（BOUNDSHEET）记录过短", {number});
    uint32_t offset = u32(r.data, 0);
    uint8_t type = r.data[5];
    if (type != 0) return Status::Ok();  // charts, macro sheets and modules hold no table
    if (offset >= g.stream.size())
        return Error::damagedWorkbook(g.file,
                                      "起始位置 " + std::to_string(offset) +
                                          " 超出了工作簿数据（长 " +
                                          std::to_string(g.stream.size()) + " 字节）",
                                      {number});
    g.sheetOffsets.push_back(offset);
    return Status::Ok();
}

// BIFF5 text is bytes in the workbook's code page; one this system cannot
// convert is refused rather than shown as wrong characters.
Status readCodePage(const Record& r, Globals& g) {
    if (r.data.size() < 2) return Status::Ok();
    g.codePage = u16(r.data, 0);
    if (g.biff8 || canDecode(g.codePage)) return Status::Ok();
    return Error::unsupportedWorkbook(g.file, "工作簿的文字使用代码页 " +
                                                  std::to_string(g.codePage) +
                                                  "，本程序无法转换这种编码；" + kSaveAgain);
}

// Handles one globals record; sets `done` at EOF.
Status readGlobalsRecord(const Record& r, Globals& g, std::vector<uint16_t>& xfFormats,
                         std::map<uint16_t, DateKind>& formats, bool& done) {
    switch (r.type) {
        case rec::kFilePass:
            return Error::encryptedWorkbook(g.file);
        case rec::kCodePage:
            return readCodePage(r, g);
        case rec::kDate1904:
            if (r.data.size() >= 2) g.date1904 = u16(r.data, 0) != 0;
            break;
        case rec::kFormat:
        case rec::kFormat3:
            if (r.type == rec::kFormat || g.oldSheet) readFormat(r, g, formats);
            break;
        case rec::kXf3:
        case rec::kXf4:
            if (g.oldSheet && r.data.size() >= 2) xfFormats.push_back(r.data[1]);
            break;
        case rec::kXf:
            if (r.data.size() < 4)
                return Error::damagedWorkbook(g.file, "单元格格式（XF）记录过短");
            xfFormats.push_back(u16(r.data, 2));
            break;
        case rec::kSst: {
            if (!g.biff8) break;
            auto table = parseSharedStrings(r, g.file);
            if (!table) return table.error();
            g.sst = std::move(*table);
            break;
        }
        case rec::kBoundSheet:
            return readBoundSheet(r, g);
        case rec::kEof:
            done = true;
            break;
        default:
            break;
    }
    return Status::Ok();
}

Status readGlobals(Globals& g) {
    RecordReader reader(g.stream);
    Record r;
    bool bof =
        g.stream.size() >= 2 && (u16(g.stream, 0) == rec::kBof || u16(g.stream, 0) == rec::kBof4 ||
                                 u16(g.stream, 0) == rec::kBof3 || u16(g.stream, 0) == rec::kBof2);
    if (g.stream.size() >= 4 && !bof)
        return Error::notWorkbook(g.file, "工作簿数据不以 BOF 记录开头，不是 .xls 工作簿");
    if (!reader.next(r, false)) {
        if (reader.problem()) return Error::damagedWorkbook(g.file, *reader.problem());
        return Error::notWorkbook(g.file, "工作簿数据为空或过短，不是 .xls 工作簿");
    }
    TABROVIN_TRY(checkGlobalsBof(r, g.file, g.biff8, g.oldSheet));
    if (g.oldSheet) g.sheetOffsets.push_back(0);
    std::vector<uint16_t> xfFormats;
    std::map<uint16_t, DateKind> formats;
    bool done = false;
    while (!done && reader.next(r, true))
        TABROVIN_TRY(readGlobalsRecord(r, g, xfFormats, formats, done));
    if (!done) {
        if (reader.problem()) return Error::damagedWorkbook(g.file, *reader.problem());
        return Error::damagedWorkbook(g.file, "工作簿全局信息缺少结束记录（EOF），文件可能被截断");
    }
    g.xfKinds.reserve(xfFormats.size());
    for (uint16_t id : xfFormats) {
        auto it = formats.find(id);
        g.xfKinds.push_back(it != formats.end() ? it->second
                                                : cell_text::classifyBuiltinFormat(id));
    }
    return Status::Ok();
}

// ---- worksheets ----

enum class Kind : uint8_t { Shared, Text, Number, Boolean, ErrorCode };

struct Cell {
    uint16_t row = 0, col = 0;  // 0-based
    Kind kind = Kind::Number;
    DateKind date = DateKind::None;
    union {
        double number;
        uint32_t index;  // shared string, boolean, error code
        struct {
            uint32_t offset, length;
        } text;
    } v{};
};

std::string errorText(uint8_t code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        default:
            return "#N/A";
    }
}

double decodeRk(uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100 : v;
}

double readDouble(std::span<const uint8_t> d, size_t at) {
    double v;
    std::memcpy(&v, d.data() + at, sizeof v);
    return v;
}

// Reads the cells of one worksheet substream's records. When `keep`, the
// cells are collected; otherwise only the sheet's size is kept, and whether
// the records come in row order.
class SheetBuilder {
  public:
    SheetBuilder(const Globals& g, int number, bool keep = true)
        : g_(g), number_(number), keep_(keep) {}

    Status record(const Record& r);
    std::vector<Cell> takeCells();
    std::string takePool() { return std::move(pool_); }
    // The cells collected so far and the texts they point into.
    std::vector<Cell>& cells() { return cells_; }
    std::string& pool() { return pool_; }
    SheetSize size() const { return size_; }
    bool inRowOrder() const { return inRowOrder_; }

  private:
    Error cellError(uint16_t row, uint16_t col, const std::string& what) const {
        return Error::damagedWorkbook(g_.file, what, {number_, row + 1, col + 1});
    }
    Error shortRecord(const Record& r) const {
        if (r.data.size() >= 4) return cellError(u16(r.data, 0), u16(r.data, 2), "单元格记录过短");
        return Error::damagedWorkbook(
            g_.file, "位置 " + std::to_string(r.offset) + " 处的单元格记录过短", {number_});
    }
    Status place(uint16_t row, uint16_t col, Cell c);
    Status number(uint16_t row, uint16_t col, uint16_t xf, double value);
    Status text(uint16_t row, uint16_t col, std::string_view s);
    Status labelSst(const Record& r);
    Status label(const Record& r);
    Status mulRk(const Record& r);
    Status boolErr(const Record& r);
    Status formula(const Record& r);
    Status string(const Record& r);

    const Globals& g_;
    int number_;
    bool keep_;
    SheetSize size_;
    bool inRowOrder_ = true;
    std::vector<Cell> cells_;
    std::string pool_;
    std::optional<std::pair<uint16_t, uint16_t>> pendingString_;  // formula awaiting STRING
    std::u16string scratch_;
    std::string textBuf_;
};

Status SheetBuilder::place(uint16_t row, uint16_t col, Cell c) {
    if (col >= kMaxColumns) return cellError(row, col, "列号超出了 .xls 工作表的 256 列");
    c.row = row;
    c.col = col;
    inRowOrder_ = inRowOrder_ && row + 1 >= size_.rows;
    size_.rows = std::max<int32_t>(size_.rows, row + 1);
    size_.columns = std::max<int32_t>(size_.columns, col + 1);
    if (keep_) cells_.push_back(c);
    pendingString_.reset();
    return Status::Ok();
}

Status SheetBuilder::number(uint16_t row, uint16_t col, uint16_t xf, double value) {
    Cell c;
    c.kind = Kind::Number;
    c.date = xf < g_.xfKinds.size() ? g_.xfKinds[xf] : DateKind::None;
    c.v.number = value;
    return place(row, col, c);
}

// An empty text shows nothing, so it does not make the sheet larger.
Status SheetBuilder::text(uint16_t row, uint16_t col, std::string_view s) {
    if (s.empty()) {
        pendingString_.reset();
        return Status::Ok();
    }
    if (pool_.size() + s.size() > std::numeric_limits<uint32_t>::max())
        return cellError(row, col, "工作表中的文字总量过大");
    Cell c;
    c.kind = Kind::Text;
    c.v.text = {static_cast<uint32_t>(pool_.size()), static_cast<uint32_t>(s.size())};
    if (keep_) pool_.append(s);
    return place(row, col, c);
}

Status SheetBuilder::labelSst(const Record& r) {
    if (r.data.size() < 10) return shortRecord(r);
    uint16_t row = u16(r.data, 0), col = u16(r.data, 2);
    uint32_t index = u32(r.data, 6);
    if (index >= g_.sst.size())
        return cellError(row, col,
                         "共享字符串编号 " + std::to_string(index) + " 超出了共享字符串表（共 " +
                             std::to_string(g_.sst.size()) + " 个）");
    if (g_.sst.at(index).empty()) return Status::Ok();
    Cell c;
    c.kind = Kind::Shared;
    c.v.index = index;
    return place(row, col, c);
}

// LABEL and RSTRING: the text after row, column and XF; RSTRING's runs follow
// it and are of no use here.
Status SheetBuilder::label(const Record& r) {
    if (r.data.size() < 8) return shortRecord(r);
    uint16_t row = u16(r.data, 0), col = u16(r.data, 2);
    SegmentCursor cur(r);
    cur.skip(6);
    bool ok = g_.biff8 ? readUnicodeString(cur, 2, scratch_, textBuf_)
                       : readByteString(cur, 2, g_.codePage, textBuf_);
    if (!ok) return cellError(row, col, "文字单元格记录不完整");
    return text(row, col, textBuf_);
}

Status SheetBuilder::mulRk(const Record& r) {
    if (r.data.size() < 6) return shortRecord(r);
    uint16_t row = u16(r.data, 0), first = u16(r.data, 2);
    size_t count = (r.data.size() - 6) / 6;
    for (size_t i = 0; i < count; ++i) {
        size_t at = 4 + 6 * i;
        if (first + i > 0xFFFF) return cellError(row, 0xFFFF, "MULRK 记录的列超出范围");
        TABROVIN_TRY(number(row, static_cast<uint16_t>(first + i), u16(r.data, at),
                            decodeRk(u32(r.data, at + 2))));
    }
    return Status::Ok();
}

Status SheetBuilder::boolErr(const Record& r) {
    if (r.data.size() < 8) return shortRecord(r);
    Cell c;
    c.kind = r.data[7] ? Kind::ErrorCode : Kind::Boolean;
    c.v.index = r.data[6];
    return place(u16(r.data, 0), u16(r.data, 2), c);
}

// A formula's cached result: a number, or a marker in the top two bytes
// saying text (in the STRING record that follows), boolean, error or empty.
Status SheetBuilder::formula(const Record& r) {
    if (r.data.size() < 14) return shortRecord(r);
    uint16_t row = u16(r.data, 0), col = u16(r.data, 2);
    if (u16(r.data, 12) != 0xFFFF) return number(row, col, u16(r.data, 4), readDouble(r.data, 6));
    Cell c;
    switch (r.data[6]) {
        case 0:
            if (col >= kMaxColumns) return cellError(row, col, "列号超出了 .xls 工作表的 256 列");
            pendingString_.emplace(row, col);
            return Status::Ok();
        case 1:
            c.kind = Kind::Boolean;
            break;
        case 2:
            c.kind = Kind::ErrorCode;
            break;
        default:
            pendingString_.reset();
            return Status::Ok();  // an empty text, or a result type we do not know
    }
    c.v.index = r.data[8];
    return place(row, col, c);
}

Status SheetBuilder::string(const Record& r) {
    if (!pendingString_) return Status::Ok();
    auto [row, col] = *pendingString_;
    SegmentCursor cur(r);
    bool ok = g_.biff8 ? readUnicodeString(cur, 2, scratch_, textBuf_)
                       : readByteString(cur, 2, g_.codePage, textBuf_);
    if (!ok) return cellError(row, col, "公式结果文字（STRING）记录不完整");
    return text(row, col, textBuf_);
}

Status SheetBuilder::record(const Record& r) {
    switch (r.type) {
        case rec::kLabelSst:
            return labelSst(r);
        case rec::kLabel:
        case rec::kRString:
            return label(r);
        case rec::kNumber:
            if (r.data.size() < 14) return shortRecord(r);
            return number(u16(r.data, 0), u16(r.data, 2), u16(r.data, 4), readDouble(r.data, 6));
        case rec::kRk:
            if (r.data.size() < 10) return shortRecord(r);
            return number(u16(r.data, 0), u16(r.data, 2), u16(r.data, 4), decodeRk(u32(r.data, 6)));
        case rec::kMulRk:
            return mulRk(r);
        case rec::kBoolErr:
            return boolErr(r);
        case rec::kFormula:
        case rec::kFormula3:
        case rec::kFormula4:
            return formula(r);
        case rec::kString:
            return string(r);
        default:
            return Status::Ok();
    }
}

// Sorted by position; of two records for one cell the later one wins.
std::vector<Cell> SheetBuilder::takeCells() {
    auto before = [](const Cell& a, const Cell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    };
    if (!std::is_sorted(cells_.begin(), cells_.end(), before))
        std::stable_sort(cells_.begin(), cells_.end(), before);
    std::vector<Cell> out;
    out.reserve(cells_.size());
    for (const Cell& c : cells_) {
        if (!out.empty() && out.back().row == c.row && out.back().col == c.col)
            out.back() = c;
        else
            out.push_back(c);
    }
    cells_.clear();
    cells_.shrink_to_fit();
    return out;
}

// Walks a worksheet substream from its BOF to its EOF, stepping over
// embedded chart substreams (which have BOF/EOF pairs of their own), handing
// each record to `builder` and then calling `after`, which may set `stop`.
// A walk may resume at `resumeAt`, a record of the sheet's own level.
Status walkSheet(const Globals& g, int number, SheetBuilder& builder,
                 const std::function<Status(const Record& r, bool& stop)>& after = {},
                 size_t resumeAt = 0) {
    RecordReader reader(g.stream);
    reader.seek(resumeAt ? resumeAt : g.sheetOffsets[number - 1]);
    Record r;
    if (!resumeAt) {
        bool bof =
            reader.next(r, false) &&
            (g.oldSheet ? isOldSheetBof(r)
                        : r.type == rec::kBof && r.data.size() >= 4 && u16(r.data, 2) == 0x0010);
        if (!bof)
            return Error::damagedWorkbook(g.file, "起始位置不是工作表的开始（BOF）记录", {number});
    }
    int depth = 0;
    bool done = false, stop = false;
    while (!done && !stop && reader.next(r, true)) {
        if (r.type == rec::kBof) ++depth;
        if (r.type == rec::kEof) done = depth-- == 0;
        if (depth != 0 || r.type == rec::kEof) continue;
        TABROVIN_TRY(builder.record(r));
        if (after) TABROVIN_TRY(after(r, stop));
    }
    if (!done && !stop) {
        std::string why = reader.problem() ? *reader.problem() : "缺少结束记录（EOF）";
        return Error::damagedWorkbook(g.file, "数据不完整，文件可能被截断（" + why + "）",
                                      {number});
    }
    return Status::Ok();
}

std::string render(const Globals& g, const Cell& c, std::string_view pool) {
    switch (c.kind) {
        case Kind::Shared:
            return std::string(g.sst.at(c.v.index));
        case Kind::Text:
            return std::string(pool.substr(c.v.text.offset, c.v.text.length));
        case Kind::Number:
            return c.date == DateKind::None ? cell_text::number(c.v.number)
                                            : cell_text::date(c.v.number, c.date, g.date1904);
        case Kind::Boolean:
            return cell_text::boolean(c.v.index != 0);
        case Kind::ErrorCode:
            return errorText(static_cast<uint8_t>(c.v.index));
    }
    return {};
}

// Hands rows `first` to `last` to a sink as their cells arrive in row order,
// with empty rows for the rows that hold none.
class RowEmitter {
  public:
    RowEmitter(const Globals& g, int32_t first, int32_t last, int32_t columns, const RowSink& sink)
        : g_(g), next_(first), last_(last), row_(static_cast<size_t>(columns)), sink_(sink) {}

    bool done() const { return next_ > last_; }
    // Sheet row `row` (1-based) from `cells`, all of that row.
    Status emit(int32_t row, std::span<const Cell> cells, std::string_view pool) {
        if (row > last_) return emptyUpTo(last_ + 1);
        if (row < next_) return Status::Ok();
        TABROVIN_TRY(emptyUpTo(row));
        for (auto& s : row_) s.clear();
        for (const Cell& c : cells)
            if (c.col < row_.size()) row_[c.col] = render(g_, c, pool);
        ++next_;
        return sink_(row, row_);
    }
    // Empty rows up to, not including, `row`.
    Status emptyUpTo(int32_t row) {
        for (; next_ < row && next_ <= last_; ++next_) {
            for (auto& s : row_) s.clear();
            TABROVIN_TRY(sink_(next_, row_));
        }
        return Status::Ok();
    }

  private:
    const Globals& g_;
    int32_t next_, last_;
    std::vector<std::string> row_;
    const RowSink& sink_;
};

class XlsWorksheet : public Worksheet {
  public:
    // Rows read straight from the records, which come in row order.
    XlsWorksheet(std::shared_ptr<const Globals> g, int number, SheetSize size)
        : g_(std::move(g)), number_(number), size_(size) {}
    // Rows read from cells collected and sorted beforehand.
    XlsWorksheet(std::shared_ptr<const Globals> g, int number, std::vector<Cell> cells,
                 std::string pool)
        : g_(std::move(g)), number_(number), cells_(std::move(cells)), pool_(std::move(pool)) {
        for (const Cell& c : cells_) size_.columns = std::max<int32_t>(size_.columns, c.col + 1);
        if (!cells_.empty()) size_.rows = cells_.back().row + 1;
        collected_ = true;
    }
    SheetSize size() const override { return size_; }
    Status readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) override;

  private:
    Status streamRows(RowEmitter& out, int32_t first);
    Status collectedRows(RowEmitter& out, int32_t first);
    std::shared_ptr<const Globals> g_;
    int number_;
    bool collected_ = false;
    std::vector<Cell> cells_;
    std::string pool_;
    SheetSize size_;
    // Where a later read of rows from `from` on may start instead of at the
    // sheet's beginning: every cell before `offset` lies above row `from`.
    struct {
        int32_t from = 0;
        size_t offset = 0;
    } resume_;
};

Status XlsWorksheet::readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) {
    if (first < 1 || columns < 0)
        return Error::refused("读取工作表时行号必须从 1 开始，列数不能为负。");
    RowEmitter out(*g_, first, last, columns, sink);
    TABROVIN_TRY(collected_ ? collectedRows(out, first) : streamRows(out, first));
    return out.emptyUpTo(last + 1);
}

Status XlsWorksheet::collectedRows(RowEmitter& out, int32_t first) {
    auto it = std::lower_bound(cells_.begin(), cells_.end(), first - 1,
                               [](const Cell& c, int32_t row) { return c.row < row; });
    while (it != cells_.end() && !out.done()) {
        auto end = std::find_if(it, cells_.end(), [&](const Cell& c) { return c.row != it->row; });
        TABROVIN_TRY(out.emit(it->row + 1, std::span<const Cell>(&*it, end - it), pool_));
        it = end;
    }
    return Status::Ok();
}

// Keeps only the texts of `cells` in `pool`, so that it holds one row's.
void compactPool(std::vector<Cell>& cells, std::string& pool) {
    std::string kept;
    for (Cell& c : cells) {
        if (c.kind != Kind::Text) continue;
        uint32_t at = static_cast<uint32_t>(kept.size());
        kept.append(pool, c.v.text.offset, c.v.text.length);
        c.v.text.offset = at;
    }
    pool.swap(kept);
}

// A row is complete when a cell of a later row arrives; of two records for
// one cell the later wins, as cells are written into the row in order. A
// read in parts (rows 2-1000, then 1001-2000, ...) resumes where the last
// part stopped rather than walking the sheet from its start each time.
Status XlsWorksheet::streamRows(RowEmitter& out, int32_t first) {
    SheetBuilder builder(*g_, number_);
    bool resume = resume_.offset != 0 && first >= resume_.from;
    int32_t seen = resume ? resume_.from - 1 : 0;  // the highest row (1-based) with cells so far
    auto flush = [&](bool all) -> Status {
        auto& cells = builder.cells();
        bool emitted = false;
        while (!cells.empty() && (all || cells.back().row != cells.front().row)) {
            uint16_t row = cells.front().row;
            auto end = std::find_if(cells.begin(), cells.end(),
                                    [&](const Cell& c) { return c.row != row; });
            TABROVIN_TRY(out.emit(row + 1, std::span<const Cell>(cells.data(), end - cells.begin()),
                                  builder.pool()));
            cells.erase(cells.begin(), end);
            emitted = true;
        }
        if (emitted) compactPool(cells, builder.pool());
        return Status::Ok();
    };
    auto after = [&](const Record& r, bool& stop) -> Status {
        const auto& cells = builder.cells();
        if (!cells.empty() && cells.back().row + 1 > seen) {
            // This record starts a new row, unless it is the text of a
            // formula just before it, which a resumed walk would not see.
            if (r.type != rec::kString) resume_ = {seen + 1, r.offset};
            seen = cells.back().row + 1;
        }
        TABROVIN_TRY(flush(false));
        stop = out.done();
        return Status::Ok();
    };
    TABROVIN_TRY(walkSheet(*g_, number_, builder, after, resume ? resume_.offset : 0));
    return flush(true);
}

class XlsWorkbook : public Workbook {
  public:
    explicit XlsWorkbook(std::shared_ptr<const Globals> g) : g_(std::move(g)) {}
    int sheetCount() const override { return static_cast<int>(g_->sheetOffsets.size()); }
    Result<std::unique_ptr<Worksheet>> worksheet(int number) override;

  private:
    std::shared_ptr<const Globals> g_;
};

// One walk checks every record and finds the size; the cells are kept only
// when the records are out of row order and must be sorted.
Result<std::unique_ptr<Worksheet>> XlsWorkbook::worksheet(int number) {
    if (number < 1 || number > sheetCount()) return Error::noSuchSheet(number, sheetCount());
    SheetBuilder scan(*g_, number, false);
    TABROVIN_TRY(walkSheet(*g_, number, scan));
    if (scan.inRowOrder())
        return std::unique_ptr<Worksheet>(std::make_unique<XlsWorksheet>(g_, number, scan.size()));
    SheetBuilder builder(*g_, number);
    TABROVIN_TRY(walkSheet(*g_, number, builder));
    auto cells = builder.takeCells();
    return std::unique_ptr<Worksheet>(
        std::make_unique<XlsWorksheet>(g_, number, std::move(cells), builder.takePool()));
}

}  // namespace

Result<std::unique_ptr<Workbook>> parseWorkbookStream(std::vector<uint8_t> stream,
                                                      const std::filesystem::path& file) {
    auto g = std::make_shared<Globals>();
    g->file = file;
    g->stream = std::move(stream);
    TABROVIN_TRY(readGlobals(*g));
    return std::unique_ptr<Workbook>(std::make_unique<XlsWorkbook>(std::move(g)));
}

}  // namespace tabrovin::xls
