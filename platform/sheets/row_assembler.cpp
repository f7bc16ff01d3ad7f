#include "platform/sheets/row_assembler.h"

#include <algorithm>

#include "platform/encoding.h"
#include "platform/sheets/limits.h"

namespace tabrovin::sheets {

RowAssembler::RowAssembler(int32_t first, int32_t last, int32_t columns, const RowSink& sink,
                           std::filesystem::path file)
    : first_(std::max(first, 1)),
      last_(last),
      columns_(std::max(columns, 0)),
      sink_(sink),
      next_(first_),
      cells_(columns_),
      empty_(columns_),
      file_(std::move(file)) {}

bool RowAssembler::send(int32_t row, const std::vector<std::string>& cells) {
    Status s = sink_(row, cells);
    if (!s.ok()) {
        status_ = s;
        return false;
    }
    next_ = row + 1;
    return true;
}

bool RowAssembler::emitEmptyUpTo(int32_t row) {
    for (int32_t r = std::max(next_, first_); r < row && r <= last_; ++r)
        if (!send(r, empty_)) return false;
    return true;
}

bool RowAssembler::startRow(int32_t row) {
    if (!status_.ok()) return false;
    if (row_ && !emit()) return false;
    if (row <= previous_) {
        status_ =
            Error::damagedWorkbook(file_, "第 " + std::to_string(row) + " 行出现在第 " +
                                              std::to_string(previous_) + " 行之后，行顺序错误");
        return false;
    }
    previous_ = row;
    if (row > last_) return false;
    if (dirty_) std::fill(cells_.begin(), cells_.end(), std::string());
    dirty_ = false;
    rowBytes_ = 0;
    row_ = row;
    return true;
}

bool RowAssembler::set(int32_t column, std::string_view text) {
    if (!row_ || column < 1 || column > columns_) return status_.ok();
    rowBytes_ += text.size();
    if (rowBytes_ > kMaxRowBytes) {
        status_ = Error::damagedWorkbook(
            file_, "一行的内容超过 " + std::to_string(kMaxRowBytes >> 20) + " MB",
            CellPlace(0, row_));
        row_ = 0;
        return false;
    }
    // XML text that is not UTF-8 is not well-formed, and the working table
    // holds UTF-8 only; a spreadsheet program refuses such a file too.
    if (encoding::validUtf8Prefix(text) != text.size()) {
        status_ = Error::damagedWorkbook(file_, "单元格的文字不是有效的 UTF-8 编码",
                                         CellPlace(0, row_, column));
        row_ = 0;
        return false;
    }
    cells_[column - 1].assign(text);
    dirty_ = true;
    return true;
}

bool RowAssembler::emit(int32_t times) {
    if (!row_) return status_.ok();
    int32_t row = row_;
    row_ = 0;
    if (!emitEmptyUpTo(row)) return false;
    for (int32_t k = 0; k < times; ++k) {
        int32_t r = row + k;
        if (r > last_) return false;
        if (r >= first_ && !send(r, cells_)) return false;
    }
    previous_ = std::max(previous_, row + times - 1);
    return true;
}

void RowAssembler::discard() {
    row_ = 0;
}

void RowAssembler::rewind() {
    first_ = std::max(first_, next_);
    row_ = previous_ = 0;
    dirty_ = true;
    rowBytes_ = 0;
}

Status RowAssembler::finish() {
    if (status_.ok() && row_) emit();
    if (status_.ok()) emitEmptyUpTo(last_ + 1);
    return status_;
}

}  // namespace tabrovin::sheets
