#pragma once
// Shared helpers for tests: scratch folders, running independent programs
// (Debian's python3 with xlrd/xlwt/openpyxl, LibreOffice) and program folders.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"

namespace tabrovin::testing {

// A fresh empty folder under the system temp folder, removed on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// For its lifetime, a locale whose decimal mark is a comma: de_DE.UTF-8, or
// built with localedef into a private folder when not installed. When there
// is none, active() is false and why() says what localedef said.
class CommaLocale {
  public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    bool active() const { return active_; }
    const std::string& why() const { return why_; }

  private:
    TempDir dir_;
    bool active_ = false;
    std::string why_;
};

// For its lifetime `file` (made, empty, when missing) cannot be opened for
// writing, as on a CD: mode 0444 and, for root, whom modes do not stop, the
// immutable attribute. When that cannot be had, active() is false and why()
// says why.
class UnwritableFile {
  public:
    explicit UnwritableFile(std::filesystem::path file);
    ~UnwritableFile();
    UnwritableFile(const UnwritableFile&) = delete;
    UnwritableFile& operator=(const UnwritableFile&) = delete;
    bool active() const { return active_; }
    const std::string& why() const { return why_; }

  private:
    std::filesystem::path file_;
    bool immutable_ = false;
    bool active_ = false;
    std::string why_;
};

// While it lives, lets a reader that waits on the pipe `fifo` for more than
// two seconds go on (by opening the pipe for writing, then closing it), so
// that a test fails where it would hang. waited() stops the watch and says
// whether a reader had to be let go.
class PipeWatch {
  public:
    explicit PipeWatch(std::filesystem::path fifo);
    ~PipeWatch() { waited(); }
    PipeWatch(const PipeWatch&) = delete;
    PipeWatch& operator=(const PipeWatch&) = delete;
    bool waited();

  private:
    std::filesystem::path fifo_;
    std::promise<void> stop_;
    std::atomic<bool> waited_ = false;
    std::thread thread_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs `command` through the shell.
CommandResult run(const std::string& command);

// The built tabrovin-batch, shell-quoted, and a run of it on the program
// folder `home` with `args` as a shell would pass them.
std::string batchCommand();
CommandResult runBatch(const std::filesystem::path& home, const std::string& args);

// Runs Debian's python3 (which has xlrd, xlwt and openpyxl) on `script`,
// passing `args` (already shell-quoted by the caller where needed).
CommandResult runPython(const std::string& script, const std::string& args = "");

using Grid = std::vector<std::vector<std::string>>;

// A sheet as a reader sees it: its rows, each without trailing empty cells.
struct ReadSheet {
    std::string name;
    Grid rows;
    bool operator==(const ReadSheet&) const = default;
};
using ReadBook = std::vector<ReadSheet>;
// Failures show the sheet's name and cells, not its bytes.
inline void PrintTo(const ReadSheet& s, std::ostream* os) {
    *os << s.name << ": " << ::testing::PrintToString(s.rows);
}

// `file` through `reader`: "xlrd" (every sheet, numbers as Python's repr),
// "openpyxl" (every sheet of an .xlsx, trailing empty rows dropped) or "csv"
// (one sheet). A refusal is a test failure that shows what the reader said.
std::optional<ReadBook> readBook(const std::filesystem::path& file,
                                 const std::string& reader = "xlrd");

// Converts `inputs` with one LibreOffice headless run to `format` ("xls",
// "xlsx", "ods", or "csv:<filter options>") into `outDir`, `x.xls` becoming
// `outDir/x.<format>`; false on failure.
bool convertWithLibreOffice(const std::vector<std::filesystem::path>& inputs,
                            const std::string& format, const std::filesystem::path& outDir);
// The same for one input; returns the output path or empty on failure.
std::filesystem::path convertWithLibreOffice(const std::filesystem::path& input,
                                             const std::string& format,
                                             const std::filesystem::path& outDir);

// Quotes `text` for a POSIX shell.
std::string shellQuote(const std::string& text);

// A program folder laid out like build/bin: data/ with B.mdb, data.mdb,
// ini.txt and both 导出空白 templates copied from the build, and an empty 导出/.
std::filesystem::path makeProgramFolder(const std::filesystem::path& where);

// Whether `r` (a Status or a Result) failed with error number `number` and a
// description holding `fragment`; otherwise says what it got instead.
template <class R>
::testing::AssertionResult failsWith(const R& r, int number, const std::string& fragment = "") {
    if (r.ok()) return ::testing::AssertionFailure() << "succeeded";
    const auto& e = r.error();
    if (e.number == number && e.description.find(fragment) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "failed with " << e.number << "：" << e.description;
}
// The same for an error already taken out of its result (number 0: none).
inline ::testing::AssertionResult failsWith(const Error& e, int number,
                                            const std::string& fragment = "") {
    return failsWith(e.number ? Status(e) : Status::Ok(), number, fragment);
}

// Whether `text` holds `fragment`; a failure shows the whole text.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& fragment) {
    if (text.find(fragment) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << fragment << "\" in:\n" << text;
}
// Whether a command exited with `exitCode` and printed `fragment`.
inline ::testing::AssertionResult exited(const CommandResult& r, int exitCode,
                                         const std::string& fragment = "") {
    if (r.exitCode != exitCode)
        return ::testing::AssertionFailure() << "exit code " << r.exitCode << ":\n" << r.output;
    return contains(r.output, fragment);
}

// `unit` written `times` times over.
std::string repeat(const std::string& unit, size_t times);

std::filesystem::path u8path(const std::string& utf8);
// The names of what `folder` holds, as UTF-8.
std::set<std::string> namesIn(const std::filesystem::path& folder);
std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

}  // namespace tabrovin::testing
