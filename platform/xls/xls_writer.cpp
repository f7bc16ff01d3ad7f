#include "platform/xls/xls_writer.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <string_view>

#include "platform/file_names.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/biff_write_file.h"
#include "platform/xls/biff_write_sst.h"
#include "platform/xls/biff_write_template.h"

namespace tabrovin::xls {
namespace {

using Impl = ExportTemplate::Impl;
constexpr size_t kRowRecordSize = 20;  // header included

struct NestedRows {
    const std::vector<std::vector<std::string>>& rows;
    size_t count() const { return rows.size(); }
    size_t width(size_t r) const { return rows[r].size(); }
    std::string_view at(size_t r, size_t c) const { return rows[r][c]; }
};

struct FlatRows {
    std::span<const std::string> cells;
    size_t columns;
    size_t count() const { return columns ? cells.size() / columns : 0; }
    size_t width(size_t) const { return columns; }
    std::string_view at(size_t r, size_t c) const { return cells[r * columns + c]; }
};

// SST indexes for the page's texts, after the template's own strings; equal
// texts share one entry.
class Interner {
  public:
    Interner(size_t base, size_t expected) : base_(static_cast<uint32_t>(base)) {
        size_t cap = 64;
        while (cap < 2 * expected) cap *= 2;
        slots_.assign(cap, 0);
        texts_.reserve(expected);
    }
    uint32_t operator()(std::string_view s) { return intern(s, hash(s)); }
    static uint64_t hash(std::string_view s) { return std::hash<std::string_view>{}(s); }
    // The index of `s`, whose hash() is `h`.
    uint32_t intern(std::string_view s, uint64_t h) {
        ++refs_;
        const uint64_t tag = h >> 32 << 32;
        size_t mask = slots_.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const uint64_t slot = slots_[i];
            if (slot == 0) {
                texts_.push_back(s);
                slots_[i] = tag | texts_.size();
                if (2 * texts_.size() > slots_.size()) grow();
                return base_ + static_cast<uint32_t>(texts_.size() - 1);
            }
            const uint32_t v = static_cast<uint32_t>(slot);
            if ((slot & ~0xFFFFFFFFull) == tag && texts_[v - 1] == s) return base_ + v - 1;
        }
    }
    // Starts loading the slot where a text of hash `h` would be looked up.
    // A large page's table is far bigger than the cache, so each lookup
    // waits for memory; asked for a whole row first, those waits overlap.
    void prefetch([[maybe_unused]] uint64_t h) const {
#if defined(__GNUC__)
        __builtin_prefetch(&slots_[h & (slots_.size() - 1)]);
#endif
    }
    const std::vector<std::string_view>& texts() const {
        return texts_;
    }
    uint32_t refs() const {
        return refs_;
    }

  private:
    // Rehashing needs the low bits the slots do not keep.
    void grow() {
        slots_.assign(slots_.size() * 2, 0);
        size_t mask = slots_.size() - 1;
        for (size_t k = 0; k < texts_.size(); ++k) {
            const uint64_t h = hash(texts_[k]);
            size_t i = h & mask;
            while (slots_[i] != 0) i = (i + 1) & mask;
            slots_[i] = (h >> 32 << 32) | (k + 1);
        }
    }
    uint32_t base_;
    uint32_t refs_ = 0;
    // The high half of a text's hash over 1 + its index into texts_, 0 for
    // free: most probes of a large page's table are settled by the slot
    // alone, without a cache miss on the text.
    std::vector<uint64_t> slots_;
    std::vector<std::string_view> texts_;
};

enum class Kind : uint8_t { RowOne, Data, Template };
struct RowItem {
    uint32_t row;  // 0-based sheet row
    Kind kind;
    uint32_t ref;  // data row or index into Impl::rows
};

struct Extent {
    uint32_t rowMin = UINT32_MAX, rowMac = 0;
    uint16_t colMin = 0xFFFF, colMac = 0;
};

template <class Rows>
class PageWriter {
  public:
    PageWriter(const Impl& t, const std::vector<std::string>& headings, const Rows& rows)
        : t_(t),
          headings_(headings),
          rows_(rows),
          strings_(t.strings.size(), rows.count() * std::max<size_t>(headings.size(), 1) + 256) {}

    Status check() const;
    // Builds the Workbook stream into `s`; refuses, before the stream is
    // built, one that would take more than `limit` bytes.
    Status workbookStream(std::vector<uint8_t>& s, uint64_t limit);

  private:
    std::vector<RowItem> rowItems() const;
    void writeSheet(std::vector<uint8_t>& out);
    void writeBlock(std::span<const RowItem> items);
    void writeRowRecord(const RowItem& item);
    bool writeCells(const RowItem& item, uint16_t& c0, uint16_t& c1);
    static constexpr size_t kLabelSstBytes = 14;
    void labelSst(uint32_t row, uint16_t col, uint16_t xf, uint32_t index);
    static void labelSstAt(uint8_t* p, uint32_t row, uint16_t col, uint16_t xf, uint32_t index);
    bool writeRowOne(uint16_t& c0, uint16_t& c1);
    void moveRows(uint8_t* base, const std::vector<RowField>& fields) const;
    Status checkSize(size_t sheetBytes, uint64_t limit) const;

    const Impl& t_;
    const std::vector<std::string>& headings_;
    const Rows& rows_;
    Interner strings_;
    std::vector<uint64_t> hashes_;         // of the row being written
    std::vector<uint8_t>* out_ = nullptr;  // the sheet being written
    std::vector<size_t> dbcells_;          // sheet-relative
    Extent extent_;
};

// Template content that would start below the sheet's last row once moved
// down `n` rows has nowhere to go; ranges that merely end there are cut.
Status movedRowsFit(const Impl& t, size_t n) {
    const std::string tail = "下移 " + std::to_string(n) +
                             " 行后将超出 .xls 工作表的 65536 行上限；请减少每页的行数后再导出。";
    if (!t.rows.empty() && t.rows.back().row + n > 65535)
        return Error::tooManyRows("导出模板第一个工作表第 " +
                                  std::to_string(t.rows.back().row + 1) + " 行的内容" + tail);
    if (t.suffixLastStart > 0 && t.suffixLastStart + n > 65535)
        return Error::tooManyRows("导出模板第一个工作表从第 " +
                                  std::to_string(t.suffixLastStart + 1) +
                                  " 行开始的合并单元格、超链接、批注或条件格式区域" + tail);
    return Status::Ok();
}

template <class Rows>
Status PageWriter<Rows>::check() const {
    if (headings_.size() > kMaxColumns)
        return Error::refused("标题有 " + std::to_string(headings_.size()) +
                                   " 列，超过了 .xls 工作表的 256 列上限。");
    size_t n = rows_.count();
    if (n > kMaxPageRows)
        return Error::tooManyRows(
            "本页有 " + std::to_string(n) +
            " 行数据，超过了 .xls 工作表可容纳的 65535 行（第 1 行是标题）。");
    for (size_t r = 0; r < n; ++r)
        if (rows_.width(r) > kMaxColumns)
            return Error::refused("第 " + std::to_string(r + 2) + " 行有 " +
                                       std::to_string(rows_.width(r)) +
                                       " 个单元格，超过了 .xls 工作表的 256 列上限。");
    return movedRowsFit(t_, n);
}

template <class Rows>
std::vector<RowItem> PageWriter<Rows>::rowItems() const {
    std::vector<RowItem> items;
    size_t n = rows_.count();
    items.reserve(n + t_.rows.size() + 1);
    bool headings = std::any_of(headings_.begin(), headings_.end(),
                                [](const std::string& h) { return !h.empty(); });
    if (headings || !t_.rowOneRecord.empty() || !t_.rowOne.empty())
        items.push_back({0, Kind::RowOne, 0});
    for (size_t r = 0; r < n; ++r) {
        size_t w = rows_.width(r);
        for (size_t c = 0; c < w; ++c) {
            if (rows_.at(r, c).empty()) continue;
            items.push_back({static_cast<uint32_t>(r + 1), Kind::Data, static_cast<uint32_t>(r)});
            break;
        }
    }
    for (size_t i = 0; i < t_.rows.size(); ++i)
        items.push_back(
            {static_cast<uint32_t>(t_.rows[i].row + n), Kind::Template, static_cast<uint32_t>(i)});
    return items;
}

template <class Rows>
void PageWriter<Rows>::labelSst(uint32_t row, uint16_t col, uint16_t xf, uint32_t index) {
    auto& out = *out_;
    size_t at = out.size();
    out.resize(at + kLabelSstBytes);
    labelSstAt(out.data() + at, row, col, xf, index);
}

template <class Rows>
void PageWriter<Rows>::labelSstAt(uint8_t* p, uint32_t row, uint16_t col, uint16_t xf,
                                  uint32_t index) {
    store16(p, rec::kLabelSst);
    store16(p + 2, 10);
    store16(p + 4, static_cast<uint16_t>(row));
    store16(p + 6, col);
    store16(p + 8, xf);
    store32(p + 10, index);
}

// Row 1: headings merged with the template's own cells there; a heading
// takes over the format of the template cell it replaces.
template <class Rows>
bool PageWriter<Rows>::writeRowOne(uint16_t& c0, uint16_t& c1) {
    bool any = false;
    auto note = [&](uint16_t c) {
        c0 = any ? std::min(c0, c) : c;
        c1 = any ? std::max(c1, c) : c;
        any = true;
    };
    uint16_t rowXf = 0;
    bool rowFormatted = t_.rowOneRecord.size() >= 16 && (u16(t_.rowOneRecord, 12) & 0x0080);
    if (rowFormatted) rowXf = u16(t_.rowOneRecord, 14) & 0x0FFF;
    size_t next = 0;
    for (uint16_t c = 0; c < kMaxColumns; ++c) {
        bool heading = c < headings_.size() && !headings_[c].empty();
        uint16_t xf = rowFormatted ? rowXf : t_.columnXf[c];
        for (; next < t_.rowOne.size() && t_.rowOne[next].col == c; ++next) {
            const RowOneCell& cell = t_.rowOne[next];
            if (heading) {
                xf = cell.xf;
                continue;
            }
            size_t at = out_->size();
            out_->insert(out_->end(), cell.bytes.begin(), cell.bytes.end());
            // A shared formula anchored here reaches down to its moved cells.
            moveRows(out_->data() + at, cell.rowFields);
            note(c);
        }
        if (!heading) continue;
        labelSst(0, c, xf, strings_(headings_[c]));
        note(c);
    }
    return any;
}

// Template rows from row 2 down move below the page; row 1 stays, so a
// range starting there grows as it would when rows are inserted in Excel.
// check() has refused pages that push any other row past the last one, so
// only range ends are cut there; a range to the end of the sheet stays so.
template <class Rows>
void PageWriter<Rows>::moveRows(uint8_t* base, const std::vector<RowField>& fields) const {
    uint32_t shift = static_cast<uint32_t>(rows_.count());
    for (RowField f : fields) {
        uint8_t* p = base + f.offset;
        uint32_t v = u16(std::span<const uint8_t>(p, 2), 0);
        if (v == 0 || (f.rangeEnd && v == 0xFFFF)) continue;
        store16(p, static_cast<uint16_t>(std::min<uint32_t>(v + shift, 0xFFFF)));
    }
}

template <class Rows>
bool PageWriter<Rows>::writeCells(const RowItem& item, uint16_t& c0, uint16_t& c1) {
    if (item.kind == Kind::RowOne) return writeRowOne(c0, c1);
    if (item.kind == Kind::Template) {
        const TemplateRow& tr = t_.rows[item.ref];
        size_t base = out_->size();
        out_->insert(out_->end(), tr.cells.begin(), tr.cells.end());
        moveRows(out_->data() + base, tr.rowFields);
        c0 = tr.colMin;
        c1 = tr.colMax;
        return tr.hasCells;
    }
    bool any = false;
    size_t w = rows_.width(item.ref);
    hashes_.resize(w);
    for (size_t c = 0; c < w; ++c)
        strings_.prefetch(hashes_[c] = Interner::hash(rows_.at(item.ref, c)));
    // Room for a record per cell at once, given back for the empty ones.
    const size_t base = out_->size();
    out_->resize(base + w * kLabelSstBytes);
    uint8_t* p = out_->data() + base;
    for (size_t c = 0; c < w; ++c) {
        std::string_view text = rows_.at(item.ref, c);
        if (text.empty()) continue;
        labelSstAt(p, item.row, static_cast<uint16_t>(c), t_.columnXf[c],
                   strings_.intern(text, hashes_[c]));
        p += kLabelSstBytes;
        if (!any) c0 = static_cast<uint16_t>(c);
        c1 = static_cast<uint16_t>(c);
        any = true;
    }
    out_->resize(static_cast<size_t>(p - out_->data()));
    return any;
}

template <class Rows>
void PageWriter<Rows>::writeRowRecord(const RowItem& item) {
    const std::vector<uint8_t>* kept = nullptr;
    if (item.kind == Kind::RowOne && !t_.rowOneRecord.empty()) kept = &t_.rowOneRecord;
    if (item.kind == Kind::Template && !t_.rows[item.ref].rowRecord.empty())
        kept = &t_.rows[item.ref].rowRecord;
    auto& out = *out_;
    put16(out, rec::kRow);
    put16(out, 16);
    size_t at = out.size();
    if (kept) {
        out.insert(out.end(), kept->begin(), kept->begin() + 16);
    } else {
        out.resize(at + 16, 0);
        store16(out.data() + at + 6, t_.rowHeight);
        store16(out.data() + at + 12, 0x0100);
        store16(out.data() + at + 14, t_.defaultXf);
    }
    store16(out.data() + at, static_cast<uint16_t>(item.row));
}

// One block of up to 32 rows: their ROW records, their cells, then the
// DBCELL that points back at them.
template <class Rows>
void PageWriter<Rows>::writeBlock(std::span<const RowItem> items) {
    // One block: 1 to 32 distinct rows of the same 32-row group.
    assert(!items.empty() && items.size() <= 32);
    auto& out = *out_;
    size_t rowPos[32], firstCell[32];
    for (size_t i = 0; i < items.size(); ++i) {
        rowPos[i] = out.size();
        writeRowRecord(items[i]);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        firstCell[i] = out.size();
        uint16_t c0 = 0, c1 = 0;
        if (!writeCells(items[i], c0, c1)) continue;
        store16(out.data() + rowPos[i] + 6, c0);
        store16(out.data() + rowPos[i] + 8, static_cast<uint16_t>(c1 + 1));
        extent_.rowMin = std::min(extent_.rowMin, items[i].row);
        extent_.rowMac = std::max(extent_.rowMac, items[i].row + 1);
        extent_.colMin = std::min(extent_.colMin, c0);
        extent_.colMac = std::max<uint16_t>(extent_.colMac, c1 + 1);
    }
    size_t at = out.size();
    dbcells_.push_back(at);
    put16(out, rec::kDbCell);
    put16(out, static_cast<uint16_t>(4 + 2 * items.size()));
    put32(out, static_cast<uint32_t>(at - rowPos[0]));
    for (size_t i = 0; i < items.size(); ++i) {
        size_t from = i == 0 ? rowPos[0] + kRowRecordSize : firstCell[i - 1];
        put16(out, static_cast<uint16_t>(firstCell[i] - from));
    }
}

std::vector<uint8_t> dimensionsData(const Extent& e) {
    std::vector<uint8_t> d;
    bool any = e.rowMac > 0;
    put32(d, any ? e.rowMin : 0);
    put32(d, e.rowMac);
    put16(d, any ? e.colMin : 0);
    put16(d, any ? e.colMac : 0);
    put16(d, 0);
    return d;
}

// The first worksheet with the page in it. INDEX pointers are left relative
// to the sheet start; the returned offsets say where they are.
template <class Rows>
void PageWriter<Rows>::writeSheet(std::vector<uint8_t>& out) {
    std::vector<RowItem> items = rowItems();
    size_t blocks = 0;
    for (size_t i = 0; i < items.size(); ++i)
        if (i == 0 || items[i].row >> 5 != items[i - 1].row >> 5) ++blocks;
    out_ = &out;
    out.insert(out.end(), t_.beforeIndex.begin(), t_.beforeIndex.end());
    size_t indexAt = out.size();
    put16(out, rec::kIndex);
    put16(out, static_cast<uint16_t>(16 + 4 * blocks));
    out.resize(out.size() + 16 + 4 * blocks, 0);
    size_t afterIndexAt = out.size();
    out.insert(out.end(), t_.afterIndex.begin(), t_.afterIndex.end());
    size_t dimAt = out.size();
    out.resize(out.size() + 18, 0);
    size_t afterDimAt = out.size();
    out.insert(out.end(), t_.afterDimensions.begin(), t_.afterDimensions.end());
    for (size_t i = 0; i < items.size();) {
        size_t j = i + 1;
        while (j < items.size() && items[j].row >> 5 == items[i].row >> 5) ++j;
        writeBlock(std::span<const RowItem>(items).subspan(i, j - i));
        i = j;
    }
    size_t suffixAt = out.size();
    out.insert(out.end(), t_.suffix.begin(), t_.suffix.end());
    moveRows(out.data() + suffixAt, t_.suffixRowFields);
    store16(out.data() + dimAt, rec::kDimensions);
    store16(out.data() + dimAt + 2, 14);
    auto dims = dimensionsData(extent_);
    std::copy(dims.begin(), dims.end(), out.begin() + dimAt + 4);
    uint8_t* index = out.data() + indexAt + 4;
    store32(index + 4, extent_.rowMac > 0 ? extent_.rowMin : 0);
    store32(index + 8, extent_.rowMac);
    size_t defCol = t_.defColWidthSection == 0   ? afterIndexAt + t_.defColWidthOffset
                    : t_.defColWidthSection == 1 ? afterDimAt + t_.defColWidthOffset
                                                 : 0;
    store32(index + 12, static_cast<uint32_t>(defCol));
    for (size_t b = 0; b < dbcells_.size(); ++b)
        store32(index + 16 + 4 * b, static_cast<uint32_t>(dbcells_[b]));
}

void rebase(std::vector<uint8_t>& stream, size_t at, int64_t delta) {
    uint32_t v = u32(stream, at);
    if (v != 0) store32(stream.data() + at, static_cast<uint32_t>(v + delta));
}

// The stream's sheets are found by 32-bit positions and the container holds
// it in 512-byte sectors, which allow at most 2 GB: a page past that would
// be written whole and then be unreadable.
template <class Rows>
Status PageWriter<Rows>::checkSize(size_t sheetBytes, uint64_t limit) const {
    uint64_t size = t_.globalsHead.size() + t_.globalsTail.size() + sheetBytes;
    for (size_t i = 0; i < t_.parts.size(); ++i)
        if (i != t_.firstSheet) size += t_.parts[i].bytes.size();
    // Only a page near the limit is worth reading every text twice for.
    if (size + sstRoughBound(t_.strings, strings_.texts()) <= limit) return Status::Ok();
    size += sstSizeBound(t_.strings, strings_.texts());
    if (size <= limit) return Status::Ok();
    auto mb = [](uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
    return Error::tooManyRows(
        "本页有 " + std::to_string(rows_.count()) + " 行数据，写成 .xls 工作簿约需 " + mb(size) +
        " MB，超过了 .xls 文件能容纳的 " + mb(limit) + " MB；请减少每页的行数后再导出。");
}

template <class Rows>
Status PageWriter<Rows>::workbookStream(std::vector<uint8_t>& s, uint64_t limit) {
    // Kept between pages: fresh multi-megabyte buffers cost page faults each time.
    thread_local std::vector<uint8_t> sheet;
    sheet.clear();
    dbcells_.clear();
    sheet.reserve(t_.suffix.size() + t_.afterIndex.size() + 4096 + rows_.count() * 24 +
                  rows_.count() * (headings_.size() + 1) * 14);
    writeSheet(sheet);
    TABROVIN_TRY(checkSize(sheet.size(), limit));
    s.clear();
    size_t textBytes = 0;
    for (auto text : strings_.texts()) textBytes += text.size() + 8;
    size_t partsSize = sheet.size();
    for (const auto& p : t_.parts) partsSize += p.bytes.size();
    s.reserve(t_.globalsHead.size() + t_.globalsTail.size() + textBytes * 11 / 10 + partsSize +
              4096);
    s.insert(s.end(), t_.globalsHead.begin(), t_.globalsHead.end());
    SstWriter sst(s, t_.templateRefs + strings_.refs(),
                  t_.strings.size() + strings_.texts().size());
    for (const auto& st : t_.strings) sst.add(st);
    for (auto text : strings_.texts()) sst.addUtf8(text);
    sst.finish();
    size_t tailAt = s.size();
    s.insert(s.end(), t_.globalsTail.begin(), t_.globalsTail.end());
    std::vector<size_t> partAt(t_.parts.size());
    for (size_t i = 0; i < t_.parts.size(); ++i) {
        partAt[i] = s.size();
        if (i == t_.firstSheet) {
            s.insert(s.end(), sheet.begin(), sheet.end());
            size_t index = partAt[i] + t_.beforeIndex.size() + 4;
            for (size_t p = 12; p < 16 + 4 * dbcells_.size(); p += 4)
                rebase(s, index + p, static_cast<int64_t>(partAt[i]));
            continue;
        }
        const SheetPart& part = t_.parts[i];
        s.insert(s.end(), part.bytes.begin(), part.bytes.end());
        for (size_t p : part.pointers)
            rebase(s, partAt[i] + p,
                   static_cast<int64_t>(partAt[i]) - static_cast<int64_t>(part.oldOffset));
    }
    for (const SheetRef& ref : t_.sheetRefs)
        store32(s.data() + (ref.inTail ? tailAt : 0) + ref.offset,
                static_cast<uint32_t>(partAt[ref.part]));
    // Streams under 4096 bytes would live in the container's mini stream;
    // Excel's own files never do that, so keep to the regular sectors.
    if (s.size() < 4096) s.resize(4096, 0);
    return Status::Ok();
}

template <class Rows>
Status writeRows(const Impl& t, const std::filesystem::path& out,
                 const std::vector<std::string>& headings, const Rows& rows, uint64_t limit) {
    PageWriter<Rows> writer(t, headings, rows);
    TABROVIN_TRY(writer.check());
    thread_local std::vector<uint8_t> buffer;
    TABROVIN_TRY(writer.workbookStream(buffer, limit));
    std::vector<Stream> streams = t.streams;
    streams[t.workbookStream].data = std::move(buffer);
    Status written = writeWorkbookFile(out, streams);
    buffer = std::move(streams[t.workbookStream].data);
    return written;
}

}  // namespace

Result<ExportTemplate> ExportTemplate::load(const std::filesystem::path& templatePath) {
    auto streams = readCompoundFile(templatePath);
    if (!streams) {
        if (streams.error().number == err::kNotWorkbook)
            return Error::notWorkbook(templatePath,
                                      "只能使用 Excel 97-2003 工作簿（.xls）作为导出模板");
        return streams.error();
    }
    auto impl = parseTemplate(std::move(*streams), templatePath);
    if (!impl) return impl.error();
    return ExportTemplate(std::move(*impl));
}

Status ExportTemplate::checkPageRows(size_t rows) const {
    return movedRowsFit(*impl_, rows);
}

Status ExportTemplate::write(const std::filesystem::path& out,
                             const std::vector<std::string>& headings,
                             const std::vector<std::vector<std::string>>& rows) const {
    return writeRows(*impl_, out, headings, NestedRows{rows}, kMaxWorkbookStream);
}

Status ExportTemplate::write(const std::filesystem::path& out,
                             const std::vector<std::string>& headings,
                             std::span<const std::string> cells, size_t columns) const {
    return writePage(*impl_, out, headings, cells, columns, kMaxWorkbookStream);
}

Status writePage(const ExportTemplate::Impl& t, const std::filesystem::path& out,
                 const std::vector<std::string>& headings, std::span<const std::string> cells,
                 size_t columns, uint64_t streamLimit) {
    if (columns > kMaxColumns)
        return Error::refused("每行有 " + std::to_string(columns) +
                                   " 个单元格，超过了 .xls 工作表的 256 列上限。");
    if ((columns == 0 && !cells.empty()) || (columns && cells.size() % columns))
        return Error::refused("导出数据的单元格个数不是列数的整数倍。");
    return writeRows(t, out, headings, FlatRows{cells, columns}, streamLimit);
}

}  // namespace tabrovin::xls
