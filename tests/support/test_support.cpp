#include "tests/support/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tabrovin::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = fs::temp_directory_path() /
            ("tabrovin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd() % 100000));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(const std::string& name) const {
    return path_ / u8path(name);
}

CommaLocale::CommaLocale() {
    const char* name = "de_DE.UTF-8";
    if (!std::setlocale(LC_ALL, name)) {
        why_ =
            run("localedef -i de_DE -f UTF-8 " + shellQuote((dir_.path() / name).string())).output;
        ::setenv("LOCPATH", dir_.path().c_str(), 1);
    }
    active_ =
        std::setlocale(LC_ALL, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
}

UnwritableFile::UnwritableFile(std::filesystem::path file) : file_(std::move(file)) {
    namespace fs = std::filesystem;
    if (!fs::exists(file_)) writeFile(file_, "");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::getuid() == 0) {
        CommandResult r = run("chattr +i " + shellQuote(file_.string()) + " 2>&1");
        immutable_ = r.exitCode == 0;
        if (!immutable_) why_ = "running as root, and chattr +i failed: " + r.output;
    }
    const int fd = ::open(file_.c_str(), O_RDWR);
    active_ = fd < 0;
    if (fd >= 0) {
        ::close(fd);
        if (why_.empty()) why_ = "the file still opens for writing";
    }
}

UnwritableFile::~UnwritableFile() {
    if (immutable_) run("chattr -i " + shellQuote(file_.string()));
    std::error_code ec;
    std::filesystem::permissions(
        file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
}

PipeWatch::PipeWatch(std::filesystem::path fifo) : fifo_(std::move(fifo)) {
    thread_ = std::thread([this, stop = stop_.get_future()] {
        while (stop.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            // Without a reader this fails at once: nothing is waiting.
            const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) continue;
            ::close(fd);
            waited_ = true;
        }
    });
}

bool PipeWatch::waited() {
    if (thread_.joinable()) {
        stop_.set_value();
        thread_.join();
    }
    return waited_;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

CommandResult run(const std::string& command) {
    CommandResult r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.output.append(buf.data(), n);
    int status = ::pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string batchCommand() {
    return shellQuote(std::string(TABROVIN_BIN_DIR) + "/tabrovin-batch");
}

CommandResult runBatch(const std::filesystem::path& home, const std::string& args) {
    return run(batchCommand() + " --home " + shellQuote(home.string()) + " " + args);
}

CommandResult runPython(const std::string& script, const std::string& args) {
    TempDir dir;
    fs::path file = dir / "script.py";
    writeFile(file, script);
    return run("/usr/bin/python3 " + shellQuote(file.string()) + " " + args);
}

std::optional<ReadBook> readBook(const fs::path& file, const std::string& reader) {
    static const char* script = R"(
import sys, csv, xlrd
p, reader, out = sys.argv[1], sys.argv[2], []
if reader == "csv":
    book = [("", list(csv.reader(open(p, encoding="utf-8", newline=""))))]
elif reader == "openpyxl":
    import openpyxl
    sheets = openpyxl.load_workbook(p).worksheets
    book = [(s.title, [["" if v is None else v for v in r] for r in s.iter_rows(values_only=True)])
            for s in sheets]
    for name, rows in book:
        while rows and not any(v != "" for v in rows[-1]): rows.pop()
else:
    sheets = xlrd.open_workbook(p).sheets()
    book = [(s.name, [s.row_values(r) for r in range(s.nrows)]) for s in sheets]
for name, rows in book:
    out.append("\x1d" + name)
    for row in rows:
        row = [v if isinstance(v, str) else repr(v) for v in row]
        while row and row[-1] == "": row.pop()
        out.append("\x1e" + "".join("\x1f" + v for v in row))
print("".join(out).encode("utf-8", "surrogatepass").hex())
)";
    CommandResult r = runPython(script, shellQuote(file.string()) + " " + reader);
    if (r.exitCode != 0) {
        ADD_FAILURE() << reader << " refuses " << file << ": " << r.output.substr(0, 2000);
        return std::nullopt;
    }
    ReadBook book;
    std::string* to = nullptr;  // the name or cell being read
    auto nibble = [&](size_t i) { return r.output[i] - (r.output[i] <= '9' ? '0' : 'a' - 10); };
    for (size_t i = 0; i + 1 < r.output.size() && r.output[i] != '\n'; i += 2) {
        char ch = static_cast<char>(nibble(i) * 16 + nibble(i + 1));
        if (ch == '\x1d')
            to = &book.emplace_back().name;
        else if (ch == '\x1e')
            book.back().rows.emplace_back();
        else if (ch == '\x1f')
            to = &book.back().rows.back().emplace_back();
        else
            *to += ch;
    }
    return book;
}

bool convertWithLibreOffice(const std::vector<fs::path>& inputs, const std::string& format,
                            const fs::path& outDir) {
    // A private profile per call, so parallel tests do not fight over one.
    TempDir profile;
    std::string cmd = "HOME=" + shellQuote(profile.path().string()) +
                      " timeout 300 soffice --headless --norestore -env:UserInstallation=file://" +
                      profile.path().string() + " --convert-to " + shellQuote(format) +
                      " --outdir " + shellQuote(outDir.string());
    for (const auto& input : inputs) cmd += " " + shellQuote(input.string());
    return run(cmd).exitCode == 0;
}

fs::path convertWithLibreOffice(const fs::path& input, const std::string& format,
                                const fs::path& outDir) {
    fs::path out = outDir / input.stem();
    out += "." + format.substr(0, format.find(':'));
    return convertWithLibreOffice(std::vector{input}, format, outDir) && fs::exists(out)
               ? out
               : fs::path();
}

fs::path makeProgramFolder(const fs::path& where) {
    fs::path bin = TABROVIN_BIN_DIR;
    fs::create_directories(where / "data");
    fs::create_directories(where / u8path("导出"));
    for (const char* name : {"B.mdb", "导出空白.xls", "导出空白.xlsx"}) {
        fs::path src = bin / "data" / u8path(name);
        if (fs::exists(src))
            fs::copy_file(src, where / "data" / u8path(name), fs::copy_options::overwrite_existing);
    }
    fs::copy_file(where / "data" / "B.mdb", where / "data" / "data.mdb",
                  fs::copy_options::overwrite_existing);
    writeFile(where / "data" / "ini.txt", "");
    return where;
}

fs::path u8path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::u8string name = e.path().filename().u8string();
        out.emplace(name.begin(), name.end());
    }
    return out;
}

std::string repeat(const std::string& unit, size_t times) {
    std::string s;
    while (times--) s += unit;
    return s;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

}  // namespace tabrovin::testing
