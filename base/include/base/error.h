#pragma once
// Errors are values: a number (shown in message-box titles after " # ") and a
// Chinese description that names what failed and where. Each kind of failure
// has one factory below that builds its message from the facts; callers state
// facts, not sentences.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tabrovin {

// Error numbers. The low ones follow the numbers users of the old program
// already know from its message titles; the rest are grouped by source.
namespace err {
constexpr int kOverflow = 6;         // a number outside its range
constexpr int kSubscript = 9;        // worksheet or list position that does not exist
constexpr int kTypeMismatch = 13;    // text that is not a number
constexpr int kInvalidArgument = 5;  // a step started without the choice it needs
constexpr int kFileNotFound = 53;
constexpr int kFileAccess = 75;         // locked, read-only, or cannot be written
constexpr int kPathNotFound = 76;       // a folder that does not exist
constexpr int kNotWorkbook = 2001;      // not a workbook of any supported format
constexpr int kDamagedWorkbook = 2002;  // truncated or inconsistent content
constexpr int kEncryptedWorkbook = 2003;
constexpr int kUnsupportedWorkbook = 2004;  // a format version we cannot read
constexpr int kCellConversion = 2005;
constexpr int kWorkbookWrite = 2006;
constexpr int kTooManyRows = 2007;
constexpr int kCancelled = 2008;     // the user asked the operation to stop
constexpr int kBusy = 2009;          // another action holds the program folder
constexpr int kRefused = 2010;       // an input refused before anything changed
constexpr int kBadTemplate = 2011;   // the blank database template is unusable
constexpr int kDatabaseBase = 3000;  // + SQLite's primary result code
constexpr int kNoSuchColumn = 3265;  // a column number that names no column of wen
}  // namespace err

// Where in a workbook something was found; 0 (or "") means "not known".
// Readers that know the worksheet by name give sheetName instead of sheet.
struct CellPlace {
    CellPlace() = default;
    CellPlace(int sheet, int64_t row = 0, int column = 0)
        : sheet(sheet), row(row), column(column) {}
    explicit CellPlace(std::string sheetName, int64_t row = 0, int column = 0)
        : row(row), column(column), sheetName(std::move(sheetName)) {}

    int sheet = 0;
    int64_t row = 0;
    int column = 0;
    std::string sheetName;
};

struct Error {
    int number = 0;
    std::string description;

    // What the error is to whoever shows it. A refusal (an input refused, or
    // the folder held by another action) changed nothing; a cancel is the
    // user's own stop; anything else is a failure of the step.
    bool isRefusal() const { return number == err::kRefused || number == err::kBusy; }
    bool isCancel() const { return number == err::kCancelled; }
    bool isFailure() const { return !isRefusal() && !isCancel(); }

    // Files and folders.
    static Error fileNotFound(const std::filesystem::path& file);
    static Error folderNotFound(const std::filesystem::path& folder);
    // `why` says what went wrong and, where it helps, what to do.
    static Error fileAccess(const std::filesystem::path& file, const std::string& why);
    // Workbooks being read. `file` is named by its file name only.
    static Error notWorkbook(const std::filesystem::path& file, const std::string& why);
    static Error damagedWorkbook(const std::filesystem::path& file, const std::string& why,
                                 const CellPlace& where = {});
    static Error encryptedWorkbook(const std::filesystem::path& file);
    static Error unsupportedWorkbook(const std::filesystem::path& file, const std::string& why);
    static Error noSuchSheet(int number, int sheetCount);
    static Error cellConversion(const std::string& why, const CellPlace& where);
    // Workbooks being written.
    static Error workbookWrite(const std::filesystem::path& file, const std::string& why);
    static Error tooManyRows(const std::string& why);
    // Inputs the user typed or chose.
    // An input refused before anything changed; shown as information, not as
    // an error of the step.
    static Error refused(const std::string& why);
    // An import started with no column ticked: an error of the step, as a
    // list cut short of its last separator always was.
    static Error noColumnTicked();
    static Error notANumber(const std::string& text);
    static Error outOfRange(const std::string& text);
    static Error noSuchColumn(int column);
    // The working database: `code` is SQLite's result code, `engineText` its
    // own English text, kept in brackets after the Chinese advice.
    static Error database(int code, const std::string& engineText);
    // A file that should be the working database but is damaged or is no
    // database at all.
    static Error damagedDatabase(const std::filesystem::path& file, int code,
                                 const std::string& engineText);
    // The blank template of the working database cannot serve: `why` says how.
    static Error badTemplate(const std::filesystem::path& file, const std::string& why);
    // The user stopped the operation; `kept` says what stays done.
    static Error cancelled(const std::string& kept);
    // Another action (perhaps another copy of the program) holds the folder.
    static Error busy(const std::string& holder);
    // `cause` met in the `index`-th (from 1) of several workbooks read in one
    // step, at `where` as far as it is known; keeps the cause's number.
    static Error inWorkbookOfMany(const Error& cause, const std::filesystem::path& file, int index,
                                  const CellPlace& where);
    // No folder can hold the program's files: `own` (beside the executable)
    // is installed or read-only, and `user` (the user's data folder, empty
    // when the system names none) cannot be made or written.
    static Error noProgramFolder(const std::filesystem::path& own,
                                 const std::filesystem::path& user);
};

// The path as UTF-8 text, and a path from UTF-8 text, the same on every system.
std::string utf8FromPath(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(const std::string& utf8);

// Stops the program when a Status or Result is read the wrong way. Always
// on, also in release builds: reading a value that is not there would go on
// with garbage, which is worse than stopping.
[[noreturn]] void failedGuard(const char* what);
inline void guard(bool ok, const char* what) {
    if (!ok) failedGuard(what);
}

// Either success or an Error.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Error e) : error_(std::move(e)) {}  // NOLINT: implicit on purpose
    static Status Ok() { return {}; }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const {
        guard(error_.has_value(), "Status::error() on success");
        return *error_;
    }

  private:
    std::optional<Error> error_;
};

// Either a value or an Error.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : v_(std::move(value)) {}  // NOLINT
    Result(Error e) : v_(std::move(e)) {}      // NOLINT

    bool ok() const { return std::holds_alternative<T>(v_); }
    explicit operator bool() const { return ok(); }
    T& value() {
        guard(ok(), "Result::value() on an error");
        return std::get<T>(v_);
    }
    const T& value() const {
        guard(ok(), "Result::value() on an error");
        return std::get<T>(v_);
    }
    T& operator*() { return value(); }
    T* operator->() { return &value(); }
    const Error& error() const {
        guard(!ok(), "Result::error() on a value");
        return std::get<Error>(v_);
    }
    Status status() const { return ok() ? Status::Ok() : Status(error()); }

  private:
    std::variant<T, Error> v_;
};

}  // namespace tabrovin

// Returns early from a function returning Status or Result<T> when `expr` failed.
#define TABROVIN_TRY(expr)                                           \
    do {                                                             \
        auto tabrovin_status_ = (expr);                              \
        if (!tabrovin_status_.ok()) return tabrovin_status_.error(); \
    } while (0)
