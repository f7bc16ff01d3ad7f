#pragma once
// Sizes of sheets measured before. Choosing a workbook and then importing it
// would otherwise read a big sheet from start to end once more only to count
// its rows; a file that changed in between (length or time of last change)
// is measured again.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/sheets/row_assembler.h"
#include "platform/sheets/xml_stream.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

struct FileIdentity {
    std::string path;
    uintmax_t bytes = 0;
    long long changed = 0;  // time of last change, in the file system's ticks
    // The identity of the file at `path` now; std::nullopt when it cannot be read.
    static std::optional<FileIdentity> of(const std::filesystem::path& path);
    bool operator<(const FileIdentity& o) const;
};

std::optional<SheetSize> cachedSize(const std::optional<FileIdentity>& file, size_t sheet);
void rememberSize(const std::optional<FileIdentity>& file, size_t sheet, SheetSize size);

// Worksheet `number` (from 1) of a book of `count` sheets stored in `file`:
// made by `make(index)`, then sized from what was remembered for this file
// version or by its own measure().
template <class Make>
Result<std::unique_ptr<Worksheet>> measuredSheet(int number, int count,
                                                 const std::optional<FileIdentity>& file,
                                                 Make make) {
    if (number < 1 || number > count) return Error::noSuchSheet(number, count);
    const size_t index = static_cast<size_t>(number - 1);
    auto sheet = make(index);
    if (auto known = cachedSize(file, index)) {
        sheet->setSize(*known);
    } else {
        TABROVIN_TRY(sheet->measure());
        rememberSize(file, index, sheet->size());
    }
    return std::unique_ptr<Worksheet>(std::move(sheet));
}

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
