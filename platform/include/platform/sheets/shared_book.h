#pragma once
// The worksheets and workbooks of the zip-packaged formats (.xlsx, .ods):
// one parsed book that every worksheet of it shares, each worksheet read by
// scanning its XML part, and sized once per file version.

#include <memory>

#include "platform/sheets/row_assembler.h"
#include "platform/sheets/size_cache.h"
#include "platform/sheets/xml_stream.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

// A worksheet read by scanning one XML part of the zip of a shared Book.
// Derived gives `part(rows)`, the part's handler (with `size`) feeding `rows`
// or only measuring when null, and `scan(part)`, which runs it.
template <class Derived, class Book>
class ScannedWorksheet : public Worksheet {
  public:
    explicit ScannedWorksheet(std::shared_ptr<const Book> book) : book_(std::move(book)) {}
    Status measure() {
        return guarded(book_->zip->path(), [&]() -> Status {
            auto part = self().part(nullptr);
            TABROVIN_TRY(self().scan(part));
            size_ = part.size;
            return Status::Ok();
        });
    }
    void setSize(SheetSize size) { size_ = size; }
    SheetSize size() const override { return size_; }
    Status readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) override {
        return guarded(book_->zip->path(), [&]() -> Status {
            RowAssembler rows(first, last, columns, sink, book_->zip->path());
            auto part = self().part(&rows);
            TABROVIN_TRY(self().scan(part));
            return rows.finish();
        });
    }

  protected:
    std::shared_ptr<const Book> book_;

  private:
    Derived& self() { return static_cast<Derived&>(*this); }
    SheetSize size_;
};

// A workbook over one parsed book that its worksheets share: worksheet i is
// Sheet(book, i), sized by measuredSheet. Book holds `file` and `sheets`.
template <class Book, class Sheet>
class SharedBookWorkbook : public Workbook {
  public:
    explicit SharedBookWorkbook(std::shared_ptr<const Book> book) : book_(std::move(book)) {}
    int sheetCount() const override { return static_cast<int>(book_->sheets.size()); }
    Result<std::unique_ptr<Worksheet>> worksheet(int number) override {
        return measuredSheet(number, sheetCount(), book_->file,
                             [&](size_t index) { return std::make_unique<Sheet>(book_, index); });
    }

  private:
    std::shared_ptr<const Book> book_;
};

}  // namespace tabrovin::sheets
