#pragma once
// Read access to the parts of a zip package (.xlsx, .ods), streamed so that a
// part of hundreds of megabytes never has to sit in memory as a whole.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"

namespace tabrovin::sheets {

class ZipArchive {
  public:
    // Opens the zip at `path`. Errors: err::kDamagedWorkbook when the
    // central directory cannot be read, err::kFileAccess when the file
    // cannot be opened.
    static Result<std::unique_ptr<ZipArchive>> open(const std::filesystem::path& path);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The file, for messages.
    const std::filesystem::path& path() const;

    // True when the package holds a part named `name` ("xl/workbook.xml").
    bool has(std::string_view name) const;

    // The whole part; err::kDamagedWorkbook when it is missing, larger than
    // `limit` bytes, or fails to inflate. Like stream(), it refuses a part
    // whose inflated size passes the limits of limits.h before inflating it.
    Result<std::string> read(std::string_view name, size_t limit = 256u << 20) const;

    // Hands the part to `chunk` piece by piece; a chunk returning false stops
    // the read early (still success). Inflate errors, and a part larger than
    // kMaxPartBytes or inflating more than kMaxCompressionRatio times the
    // file's size, are err::kDamagedWorkbook.
    Status stream(std::string_view name, const std::function<bool(std::string_view)>& chunk) const;

    // The same as stream(), but a large part is inflated on a second thread
    // while `chunk` works on the pieces already inflated. What the inflating
    // thread throws is thrown here.
    Status streamAhead(std::string_view name,
                       const std::function<bool(std::string_view)>& chunk) const;

  private:
    struct Handle;
    explicit ZipArchive(std::unique_ptr<Handle> h);
    std::unique_ptr<Handle> h_;
};

// True when `path` is a compound file holding an encrypted Office Open XML
// package (the EncryptionInfo and EncryptedPackage streams).
bool isEncryptedPackage(const std::filesystem::path& path);

}  // namespace tabrovin::sheets
