#include "tests/support/test_support.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
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

CommandResult runPython(const std::string& script, const std::string& args) {
    TempDir dir;
    fs::path file = dir / "script.py";
    writeFile(file, script);
    return run("/usr/bin/python3 " + shellQuote(file.string()) + " " + args);
}

std::vector<std::vector<std::string>> readXlsWithXlrd(const fs::path& path) {
    CommandResult r = runPython(
        "import sys, xlrd\n"
        "sh = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
        "for i in range(sh.nrows):\n"
        "    print('\\t'.join(str(v) for v in sh.row_values(i)).replace('\\n', '\\\\n'))\n",
        shellQuote(path.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::vector<std::string>> rows;
    std::stringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        std::stringstream fields(line);
        rows.emplace_back();
        for (std::string f; std::getline(fields, f, '\t');) rows.back().push_back(f);
    }
    return rows;
}

fs::path convertWithLibreOffice(const fs::path& input, const std::string& format,
                                const fs::path& outDir) {
    // A private profile per call, so parallel tests do not fight over one.
    TempDir profile;
    std::string cmd = "HOME=" + shellQuote(profile.path().string()) +
                      " timeout 180 soffice --headless --norestore -env:UserInstallation=file://" +
                      profile.path().string() + " --convert-to " + format + " --outdir " +
                      shellQuote(outDir.string()) + " " + shellQuote(input.string());
    CommandResult r = run(cmd);
    fs::path out = outDir / input.stem();
    out += "." + format.substr(0, format.find(':'));
    return r.exitCode == 0 && fs::exists(out) ? out : fs::path();
}

fs::path makeProgramFolder(const fs::path& where) {
    fs::path bin = TABROVIN_BIN_DIR;
    fs::create_directories(where / "data");
    fs::create_directories(where / u8path("导出"));
    for (const char* name : {"B.mdb", "导出空白.xls"}) {
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
