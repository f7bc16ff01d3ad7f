#include "platform/xls/biff_write_template.h"

#include <algorithm>
#include <map>

#include "platform/xls/biff_record.h"
#include "platform/xls/biff_workbook.h"

namespace tabrovin::xls {
namespace {

constexpr uint16_t kUncalced = 0x005E, kColInfo = 0x007D, kDefColWidth = 0x0055;
constexpr uint16_t kDefaultRowHeight = 0x0225, kShrFmla = 0x04BC, kArray = 0x0221;
constexpr uint16_t kTable = 0x0236, kMergeCells = 0x00E5, kHLink = 0x01B8, kNote = 0x001C;
constexpr uint16_t kCondFmt = 0x01B0;

Error damaged(const std::filesystem::path& name, const std::string& what) {
    return Error::damagedWorkbook(name, "导出模板中" + what);
}

const char kBiff8Only[] = "只能使用 Excel 97-2003 工作簿（.xls）作为导出模板";

bool isCell(uint16_t t) {
    switch (t) {
        case rec::kLabelSst:
        case rec::kLabel:
        case rec::kRString:
        case rec::kNumber:
        case rec::kRk:
        case rec::kMulRk:
        case rec::kBoolErr:
        case rec::kFormula:
        case rec::kFormula3:
        case rec::kFormula4:
        case rec::kBlank:
        case rec::kMulBlank:
            return true;
        default:
            return false;
    }
}

// Records that belong to the cell table without being cells themselves.
bool isCellTableExtra(uint16_t t) {
    return t == rec::kRow || t == rec::kDbCell || t == rec::kString || t == kShrFmla ||
           t == kArray || t == kTable;
}

std::vector<uint8_t> bytesOf(std::span<const uint8_t> stream, size_t from, size_t to) {
    return std::vector<uint8_t>(stream.begin() + from, stream.begin() + to);
}

void append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void appendRecord(std::vector<uint8_t>& out, uint16_t type, std::span<const uint8_t> data) {
    put16(out, type);
    put16(out, static_cast<uint16_t>(data.size()));
    append(out, data);
}

Status checkBof(const Record& r, const std::filesystem::path& name) {
    Biff biff = biffOf(r.type, r.data);
    if (biff == Biff::Old || biff == Biff::V5)
        return Error::unsupportedWorkbook(name,
                                          std::string("它是旧版 Excel 工作簿，") + kBiff8Only);
    if (biff == Biff::NotBof || u16(r.data, 2) != 0x0005)
        return Error::notWorkbook(name, std::string("开头不是工作簿全局信息；") + kBiff8Only);
    return Status::Ok();
}

// The globals substream: everything but SST / EXTSST, with the BOUNDSHEET
// position fields noted. Returns old sheet positions in BOUNDSHEET order.
Result<std::vector<uint32_t>> parseGlobals(std::span<const uint8_t> wb, ExportTemplate::Impl& t,
                                           const std::filesystem::path& name) {
    RecordReader reader(wb);
    Record r;
    if (!reader.next(r)) return damaged(name, "缺少 BOF 记录");
    TABROVIN_TRY(checkBof(r, name));
    t.globalsHead = bytesOf(wb, r.offset, reader.position());
    std::vector<uint32_t> positions;
    bool sawSst = false, sawEof = false;
    while (!sawEof && reader.next(r)) {
        auto& out = sawSst ? t.globalsTail : t.globalsHead;
        if (r.type == rec::kFilePass) return Error::encryptedWorkbook(name);
        if (r.type == rec::kSst) {
            if (sawSst || !parseSst(r.data, r.continues, t.templateRefs, t.strings))
                return damaged(name, "共享字符串表（SST）无效");
            sawSst = true;
            continue;
        }
        if (r.type == rec::kExtSst) continue;
        if (r.type == rec::kBoundSheet) {
            if (r.data.size() < 8) return damaged(name, "BOUNDSHEET 记录过短");
            t.sheetRefs.push_back({sawSst, out.size() + 4, 0, r.data[5] == 0});
            positions.push_back(u32(r.data, 0));
        }
        sawEof = r.type == rec::kEof;
        if (sawEof && !sawSst) {
            // No SST in the template: the new one goes before EOF.
            appendRecord(t.globalsTail, r.type, r.data);
            break;
        }
        append(out, wb.subspan(r.offset, reader.position() - r.offset));
    }
    if (reader.problem()) return damaged(name, *reader.problem());
    if (!sawEof) return damaged(name, "全局数据缺少 EOF 记录");
    if (positions.empty()) return damaged(name, "没有任何工作表");
    return positions;
}

// Index of the first cell XF (style XFs come first); 15 in Excel's own files.
uint16_t firstCellXf(std::span<const uint8_t> wb) {
    RecordReader reader(wb);
    Record r;
    uint16_t index = 0;
    while (reader.next(r, false) && r.type != rec::kEof) {
        if (r.type != rec::kXf) continue;
        if (r.data.size() >= 6 && !(u16(r.data, 4) & 0x0004)) return index;
        ++index;
    }
    return 15;
}

// The bytes of the substream starting at `at`, nested BOF/EOF included.
Result<SheetPart> readSubstream(std::span<const uint8_t> wb, size_t at,
                                const std::filesystem::path& name) {
    if (at >= wb.size()) return damaged(name, "工作表位置超出数据流");
    RecordReader reader(wb);
    reader.seek(at);
    Record r;
    SheetPart part;
    part.oldOffset = at;
    int depth = 0;
    while (reader.next(r, false)) {
        if (r.type == rec::kBof) ++depth;
        if (depth == 0) return damaged(name, "工作表不以 BOF 记录开始");
        if (r.type == rec::kIndex && depth == 1)
            for (size_t p = 12; p + 4 <= r.data.size(); p += 4)
                part.pointers.push_back(r.offset + 4 + p - at);
        if (r.type == rec::kEof && --depth == 0) {
            part.bytes = bytesOf(wb, at, reader.position());
            return part;
        }
    }
    return damaged(name, "工作表缺少 EOF 记录");
}

// A cell record with the records that belong to it (STRING, SHRFMLA, ...).
struct CellUnit {
    uint16_t row = 0, colFirst = 0, colLast = 0, xf = 0;
    std::vector<uint8_t> bytes;
    std::vector<RowField> rowFields;
};

// A formula that belongs to a shared formula, array or data table starts
// with tExp / tTbl naming the anchor cell that holds it; the anchor's row
// must move with the rows, or the formula is lost. Its row lies after the
// 22 fixed bytes of FORMULA data and the token byte.
bool hasAnchor(const Record& r) {
    constexpr size_t kTokens = 22;
    return r.type == rec::kFormula && r.data.size() >= kTokens + 5 && u16(r.data, 20) >= 5 &&
           (r.data[kTokens] == 0x01 || r.data[kTokens] == 0x02);
}

bool unitFromCell(const Record& r, std::span<const uint8_t> wb, size_t end, CellUnit& u) {
    if (r.data.size() < 6) return false;
    u.row = u16(r.data, 0);
    u.colFirst = u.colLast = u16(r.data, 2);
    u.xf = u16(r.data, 4);
    if (r.type == rec::kMulRk || r.type == rec::kMulBlank) {
        if (r.data.size() < 6) return false;
        u.colLast = u16(r.data, r.data.size() - 2);
        if (u.colLast < u.colFirst) return false;
    }
    u.bytes = bytesOf(wb, r.offset, end);
    u.rowFields = {{4, false}};
    if (hasAnchor(r)) u.rowFields.push_back({4 + 23, false});
    return true;
}

// MULRK / MULBLANK of row 1 as single RK / BLANK cells, so that headings can
// replace some of them.
void splitRowOne(const CellUnit& u, uint16_t type, std::vector<RowOneCell>& out) {
    std::span<const uint8_t> d(u.bytes.data() + 4, u16(u.bytes, 2));
    size_t width = type == rec::kMulRk ? 6 : 2;
    for (uint16_t c = u.colFirst; c <= u.colLast; ++c) {
        size_t at = 4 + (c - u.colFirst) * width;
        if (at + width > d.size() - 2) break;
        RowOneCell cell{c, u16(d, at), {}, {}};
        std::vector<uint8_t> data;
        put16(data, 0);
        put16(data, c);
        append(data, d.subspan(at, width));
        appendRecord(cell.bytes, type == rec::kMulRk ? rec::kRk : rec::kBlank, data);
        out.push_back(std::move(cell));
    }
}

// Row numbers held by records after the cell table that name cells of the
// sheet, so that they follow the rows they name. `base` is where the record's
// data starts in the suffix.
void noteSuffixRows(const Record& r, size_t base, std::vector<RowField>& out) {
    auto ranges = [&](size_t at, size_t count) {
        for (size_t k = 0; k < count && at + 8 * k + 4 <= r.data.size(); ++k) {
            uint32_t first = uint32_t(base + at + 8 * k);
            out.insert(out.end(), {{first, false}, {first + 2, true}});
        }
    };
    if (r.type == kMergeCells && r.data.size() >= 2) ranges(2, u16(r.data, 0));
    if (r.type == kHLink) ranges(0, 1);
    if (r.type == kNote && r.data.size() >= 2) out.push_back({uint32_t(base), false});
    if (r.type == kCondFmt && r.data.size() >= 14) {
        ranges(4, 1);
        ranges(14, u16(r.data, 12));
    }
}

class SheetSplitter {
  public:
    SheetSplitter(ExportTemplate::Impl& t, std::span<const uint8_t> sheet) : t_(t), s_(sheet) {}
    Status run(const std::filesystem::path& name);

  private:
    void prefixRecord(const Record& r, size_t end);
    void cellRecord(const Record& r, size_t end, const std::filesystem::path& name, Status& status);
    void finishUnit();
    void addDefColWidth(size_t indexAt);

    ExportTemplate::Impl& t_;
    std::span<const uint8_t> s_;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> prefix_;
    std::map<uint16_t, TemplateRow> rows_;
    CellUnit unit_;
    bool haveUnit_ = false;
    uint16_t unitType_ = 0;
};

void SheetSplitter::finishUnit() {
    if (!haveUnit_) return;
    haveUnit_ = false;
    if (unit_.row == 0) {
        if (unitType_ == rec::kMulRk || unitType_ == rec::kMulBlank)
            splitRowOne(unit_, unitType_, t_.rowOne);
        else
            t_.rowOne.push_back(
                {unit_.colFirst, unit_.xf, std::move(unit_.bytes), std::move(unit_.rowFields)});
        return;
    }
    TemplateRow& row = rows_[unit_.row];
    row.row = unit_.row;
    for (RowField f : unit_.rowFields)
        row.rowFields.push_back({f.offset + uint32_t(row.cells.size()), f.rangeEnd});
    append(row.cells, unit_.bytes);
    row.hasCells = true;
    row.colMin = std::min(row.colMin, unit_.colFirst);
    row.colMax = std::max(row.colMax, unit_.colLast);
}

void SheetSplitter::cellRecord(const Record& r, size_t end, const std::filesystem::path& name,
                               Status& status) {
    if (r.type == rec::kDbCell) return;
    if (r.type == rec::kRow) {
        if (r.data.size() < 16) {
            status = damaged(name, "ROW 记录过短");
            return;
        }
        uint16_t row = u16(r.data, 0);
        auto data = std::vector<uint8_t>(r.data.begin(), r.data.end());
        if (row == 0) {
            t_.rowOneRecord = std::move(data);
        } else {
            rows_[row].row = row;
            rows_[row].rowRecord = std::move(data);
        }
        return;
    }
    if (isCell(r.type)) {
        finishUnit();
        if (!unitFromCell(r, s_, end, unit_)) {
            status = damaged(name, "单元格记录过短");
            return;
        }
        haveUnit_ = true;
        unitType_ = r.type;
        return;
    }
    if (!haveUnit_) return;  // a stray STRING / SHRFMLA without its formula
    size_t at = unit_.bytes.size();
    append(unit_.bytes, s_.subspan(r.offset, end - r.offset));
    if ((r.type == kShrFmla || r.type == kArray || r.type == kTable) && r.data.size() >= 4)
        unit_.rowFields.insert(unit_.rowFields.end(),
                               {{uint32_t(at + 4), false}, {uint32_t(at + 6), true}});
}

void SheetSplitter::prefixRecord(const Record& r, size_t end) {
    auto bytes = bytesOf(s_, r.offset, end);
    if (r.type == kColInfo && r.data.size() >= 8) {
        for (unsigned c = u16(r.data, 0); c <= std::min<unsigned>(u16(r.data, 2), 255); ++c)
            t_.columnXf[c] = u16(r.data, 6);
    }
    if (r.type == kDefaultRowHeight && r.data.size() >= 4) t_.rowHeight = u16(r.data, 2);
    prefix_.emplace_back(r.type, std::move(bytes));
}

// INDEX points at DEFCOLWIDTH; sheets written without one get Excel's
// default, placed where Excel puts it (before COLINFO and DIMENSIONS).
void SheetSplitter::addDefColWidth(size_t indexAt) {
    size_t at = indexAt;
    for (; at < prefix_.size(); ++at) {
        uint16_t type = prefix_[at].first;
        if (type == kDefColWidth) return;
        if (type == kColInfo || type == rec::kDimensions) break;
    }
    for (size_t i = at; i < prefix_.size(); ++i)
        if (prefix_[i].first == kDefColWidth) return;
    std::vector<uint8_t> record;
    appendRecord(record, kDefColWidth, std::vector<uint8_t>{8, 0});
    prefix_.emplace(prefix_.begin() + static_cast<std::ptrdiff_t>(at), kDefColWidth,
                    std::move(record));
}

Status SheetSplitter::run(const std::filesystem::path& name) {
    RecordReader reader(s_);
    Record r;
    Status status;
    int depth = 0, region = 0;  // 0 before the cell table, 1 in it, 2 after it
    t_.columnXf.fill(t_.defaultXf);
    while (status.ok() && reader.next(r, false)) {
        size_t end = reader.position();
        if (r.type == rec::kBof) ++depth;
        bool cellish = depth == 1 && (isCell(r.type) || isCellTableExtra(r.type) ||
                                      (haveUnit_ && region == 1 && r.type == rec::kContinue));
        if (cellish) {
            region = 1;
            cellRecord(r, end, name, status);
        } else if (region == 0) {
            prefixRecord(r, end);
        } else {
            region = 2;
            if (depth == 1) noteSuffixRows(r, t_.suffix.size() + 4, t_.suffixRowFields);
            append(t_.suffix, s_.subspan(r.offset, end - r.offset));
        }
        if (r.type == rec::kEof) --depth;
    }
    finishUnit();
    TABROVIN_TRY(status);
    for (RowField f : t_.suffixRowFields)
        if (!f.rangeEnd)
            t_.suffixLastStart = std::max(t_.suffixLastStart, u16(t_.suffix, f.offset));
    if (reader.problem()) return damaged(name, *reader.problem());
    if (region == 0 && !prefix_.empty() && prefix_.back().first == rec::kEof) {
        append(t_.suffix, prefix_.back().second);  // a sheet with no cells at all
        prefix_.pop_back();
    }
    // INDEX goes where the template had it, else right after BOF (and UNCALCED).
    size_t indexAt = prefix_.empty() ? 0 : 1;
    if (indexAt < prefix_.size() && prefix_[indexAt].first == kUncalced) ++indexAt;
    for (size_t i = 0; i < prefix_.size(); ++i)
        if (prefix_[i].first == rec::kIndex) indexAt = i;
    addDefColWidth(indexAt);
    int section = 0;  // 0 before INDEX, 1 after it, 2 after DIMENSIONS
    for (size_t i = 0; i < prefix_.size(); ++i) {
        auto& [type, bytes] = prefix_[i];
        if (i == indexAt && section == 0) section = 1;
        if (type == rec::kIndex) continue;
        if (type == rec::kDimensions) {
            section = 2;
            continue;
        }
        auto& out = section == 0   ? t_.beforeIndex
                    : section == 1 ? t_.afterIndex
                                   : t_.afterDimensions;
        if (type == kDefColWidth && section > 0) {
            t_.defColWidthSection = section - 1;
            t_.defColWidthOffset = out.size();
        }
        append(out, bytes);
    }
    for (auto& [row, tr] : rows_) t_.rows.push_back(std::move(tr));
    std::stable_sort(t_.rowOne.begin(), t_.rowOne.end(),
                     [](const RowOneCell& a, const RowOneCell& b) { return a.col < b.col; });
    return Status::Ok();
}

// Every page carries the template's records as they are, so a template the
// reader refuses would give pages that no one can open: each of its
// worksheets is read once, as an import would read it.
Status checkReadable(std::vector<uint8_t> wb, const std::filesystem::path& name) {
    auto book = parseWorkbookStream(std::move(wb), name);
    if (!book) return book.error();
    for (int n = 1; n <= (*book)->sheetCount(); ++n) {
        auto sheet = (*book)->worksheet(n);
        if (!sheet) return sheet.error();
        const SheetSize size = (*sheet)->size();
        TABROVIN_TRY((*sheet)->readRows(1, size.rows, size.columns,
                                        [](int32_t, const auto&) { return Status::Ok(); }));
    }
    return Status::Ok();
}

bool isWorksheet(std::span<const uint8_t> part) {
    return part.size() >= 8 && u16(part, 0) == rec::kBof && u16(part, 2) >= 4 &&
           u16(part, 6) == 0x0010;
}

}  // namespace

Result<std::shared_ptr<ExportTemplate::Impl>> parseTemplate(std::vector<Stream> streams,
                                                            const std::filesystem::path& name) {
    auto t = std::make_shared<ExportTemplate::Impl>();
    auto wbIt = std::find_if(streams.begin(), streams.end(),
                             [](const Stream& s) { return s.path == "Workbook"; });
    if (wbIt == streams.end()) {
        bool old = std::any_of(streams.begin(), streams.end(),
                               [](const Stream& s) { return s.path == "Book"; });
        if (old)
            return Error::unsupportedWorkbook(
                name, std::string("它是 Excel 5.0/95 工作簿，") + kBiff8Only);
        return Error::notWorkbook(name, std::string("其中没有 Excel 工作簿数据；") + kBiff8Only);
    }
    std::vector<uint8_t> wb = std::move(wbIt->data);
    wbIt->data.clear();
    TABROVIN_TRY(checkReadable(wb, name));
    t->workbookStream = static_cast<size_t>(wbIt - streams.begin());
    t->streams = std::move(streams);
    t->defaultXf = firstCellXf(wb);
    auto positions = parseGlobals(wb, *t, name);
    if (!positions) return positions.error();
    std::vector<uint32_t> sorted = *positions;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (uint32_t at : sorted) {
        auto part = readSubstream(wb, at, name);
        if (!part) return part.error();
        t->parts.push_back(std::move(*part));
    }
    for (size_t i = 0; i < t->sheetRefs.size(); ++i)
        t->sheetRefs[i].part = static_cast<size_t>(
            std::lower_bound(sorted.begin(), sorted.end(), (*positions)[i]) - sorted.begin());
    // The page goes where readers find the first worksheet: listed as one,
    // and starting as one.
    auto first = std::find_if(t->sheetRefs.begin(), t->sheetRefs.end(), [&](const SheetRef& r) {
        return r.worksheet && isWorksheet(t->parts[r.part].bytes);
    });
    if (first == t->sheetRefs.end()) return damaged(name, "没有普通工作表");
    t->firstSheet = first->part;
    TABROVIN_TRY(SheetSplitter(*t, t->parts[t->firstSheet].bytes).run(name));
    t->parts[t->firstSheet].bytes.clear();
    return t;
}

}  // namespace tabrovin::xls
