// tabrovin-batch: the window's steps on the same program folder, without a
// window. Every message the window would show is printed as one line
// "[title] text"; the exit status comes from each step's typed outcome.
// Every argument is checked before anything changes.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/outcomes.h"
#include "core/column_list.h"
#include "core/numbers.h"
#include "core/program_home.h"
#include "core/statements.h"
#include "core/table_page.h"
#include "core/undo.h"
#include "export/export_lists.h"
#include "export/run_export.h"
#include "import/append_workbooks.h"
#include "import/import_rows.h"
#include "import/open_workbook.h"
#include "platform/encoding.h"
#include "platform/folder_lock.h"
#include "platform/safe_files.h"
#include "processing/delete_keyword_rows.h"
#include "processing/filter_duplicates.h"

namespace {

using namespace tabrovin;

constexpr const char* kUsage = R"(用法：tabrovin-batch [--home 目录] 命令 [选项]

  --home 目录   程序目录（含 data 与 导出 文件夹）。默认为本程序所在目录，
                若它没有可写的 data 文件夹（例如安装后），则为用户数据目录
                $XDG_DATA_HOME/tabrovin（通常是 ~/.local/share/tabrovin），
                首次运行时从安装的模板建立
  --version     打印版本号

命令：
  open 工作簿 [--sheet N] [--header-row H] [--skip-last T]
        选择工作簿：用空白模板重置工作数据库，列出第 N 个工作表的列名，
        打印数据行数、列数和列名。
  import 工作簿 [--sheet N] [--columns 1,3,5] [--pause-every P] [--header-row H] [--skip-last T]
        选择工作簿并导入：只勾选列出的列（从 1 数起，默认全部），
        导入完成后保存列名列表。不给 --pause-every 时不暂停。
  import 工作簿 [工作簿 ...] --append [--source-column] [同上选项]
        追加导入：不重置工作数据表，把各工作簿第 N 个工作表的数据行按列名对应
        追加进去（新列名占下一个空列）；--columns 按第一个工作簿的列号取消勾选。
        --source-column 把每行所在的文件名存入“来源文件”列。
  dedupe --column K [--column K2 ...] [--trim] [--width] [--pause-every P]
        过滤重复：第 K 列（列名列表中从 0 数起）每个值只保留最先导入的一行。
        给出多个 --column 时，这些列都相同才算重复；--trim 忽略首尾空白（含全角空格），
        --width 把全角字母、数字和标点当作半角。英文字母总是不分大小写。
  delete --column K --keyword 关键字 [--keyword 关键字2 ...] [--match 方式]
        删除第 K 列与任一关键字相符的行。方式：contains 包含（默认，% 和 _ 为通配符）、
        equals 等于、starts 开头是、literal 包含文字（% 和 _ 只代表自己）。
  export [--col K[=列名]]... [--rows N] [--format xls|xlsx] [--split-by K [--max-files N]]
        按给出的顺序导出这些列（默认全部列，用原列名），每个工作簿 N 行（默认 1000）。
        --format xlsx 写出 .xlsx 工作簿（每个最多 1048575 行；默认 xls，最多 65535 行）。
        --split-by K 按第 K 列的值拆分：每个值一个工作簿（超过 N 行的分成几个），
        存入 导出/按<列名>拆分-<时间> 文件夹；文件超过 --max-files 个（默认 10000）时不导出。
  rows [--from N] [--count M]
        按编号顺序打印工作数据表：第一行是列名，之后每行一条记录，以制表符分隔；
        值中的反斜杠、制表符和换行写作 \\ \t \n \r。--from 从 1 数起，默认 1；默认打印全部。
  undo
        撤销上一步（选择工作簿、导入、过滤重复或删除）：恢复之前的工作数据表和列名列表。

open 与 import 的选项：
  --header-row H  列名在第 H 行（默认 1），其上各行不导入
  --skip-last T   不导入最后 T 行（默认 0），例如末尾的合计行

退出码：0 成功；1 操作出错或被拒绝；2 命令行有误。
)";

struct Options {
    std::optional<std::string> home, sheet, columns, pauseEvery, column, keyword, rows, from, count;
    std::optional<std::string> format, splitBy, maxFiles;
    std::optional<std::string> headerRow, skipLast;
    bool append = false, sourceColumn = false;
    std::vector<std::string> cols;  // --col K[=HEADING]
    // Every --column and --keyword in order; `column` and `keyword` hold the first.
    std::vector<std::string> allColumns, keywords;
    std::optional<std::string> match;
    bool trim = false, width = false;
    std::vector<std::string> positional;
};

int usageError(const std::string& why) {
    std::cerr << "tabrovin-batch: " << why << "\n\n" << kUsage;
    return 2;
}

bool parse(int argc, char** argv, Options& o, std::string& why) {
    const std::map<std::string, std::optional<std::string>*> single = {
        {"--home", &o.home},         {"--sheet", &o.sheet},
        {"--columns", &o.columns},   {"--pause-every", &o.pauseEvery},
        {"--rows", &o.rows},         {"--from", &o.from},
        {"--count", &o.count},       {"--format", &o.format},
        {"--split-by", &o.splitBy},  {"--max-files", &o.maxFiles},
        {"--match", &o.match},       {"--header-row", &o.headerRow},
        {"--skip-last", &o.skipLast}};
    const std::map<std::string, bool*> flags = {{"--append", &o.append},
                                                {"--source-column", &o.sourceColumn},
                                                {"--trim", &o.trim},
                                                {"--width", &o.width}};
    const std::map<std::string, std::vector<std::string>*> repeated = {
        {"--col", &o.cols}, {"--column", &o.allColumns}, {"--keyword", &o.keywords}};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto slot = single.find(a);
        if (auto flag = flags.find(a); flag != flags.end()) {
            *flag->second = true;
        } else if (a.rfind("--", 0) != 0) {
            o.positional.push_back(a);
        } else if (slot == single.end() && !repeated.contains(a)) {
            return why = "不认识的选项 " + a, false;
        } else if (i + 1 >= argc) {
            return why = a + " 后面缺少值", false;
        } else if (slot != single.end()) {
            // A second value would silently win over the first.
            if (*slot->second) return why = a + " 只能给出一次", false;
            *slot->second = argv[++i];
        } else {
            repeated.at(a)->push_back(argv[++i]);
        }
    }
    if (!o.allColumns.empty()) o.column = o.allColumns.front();
    if (!o.keywords.empty()) o.keyword = o.keywords.front();
    return true;
}

// Prints like a message box, and tells the exit status it stands for.
int show(const Message& m) {
    std::cout << "[" << m.title << "] " << m.text << std::endl;
    return m.icon == Icon::Information && m.title == kProgramTitle ? 0 : 1;
}

int fail(Step step, const Error& e) {
    show(errorMessage(step, e));
    return 1;
}

// Pauses are asked for only with --pause-every; page errors print as they come.
class BatchProgress : public Progress {
  public:
    void pause() override { waitOnePause(*this, std::chrono::milliseconds(500)); }
    void partFailed(int, const Error& e) override { show(errorMessage(Step::ExportPage, e)); }
};

std::optional<int64_t> wholeNumber(const std::string& text, int64_t min, int64_t max) {
    auto n = parseTypedNumber(text, NumberRule::WholeOnly, min, max);
    return n ? std::optional<int64_t>(*n) : std::nullopt;
}

// The worksheet number as the window's box reads it: below 1 means 1.
std::optional<int> sheetNumber(const Options& o) {
    auto n =
        parseTypedNumber(o.sheet.value_or("1"), NumberRule::RoundFraction, INT16_MIN, INT16_MAX);
    if (!n) return std::nullopt;
    return std::max<int>(static_cast<int>(*n), 1);
}

// --pause-every as the window's box reads it (rounded); absent: no pauses.
// False when it is given but no number.
bool pauseEvery(const Options& o, std::optional<int32_t>& every) {
    every.reset();
    if (!o.pauseEvery) return true;
    auto n = parseTypedNumber(*o.pauseEvery, NumberRule::RoundFraction, INT32_MIN, INT32_MAX);
    if (n) every = static_cast<int32_t>(*n);
    return n.ok();
}

// --header-row and --skip-last; false (with `why`) when one is no fit number.
bool sheetLayout(const Options& o, SheetLayout& layout, std::string& why) {
    auto h = wholeNumber(o.headerRow.value_or("1"), 1, INT32_MAX);
    auto t = wholeNumber(o.skipLast.value_or("0"), 0, INT32_MAX);
    if (!h) why = "--header-row 需要一个从 1 起的整数";
    if (!t) why = "--skip-last 需要一个不小于 0 的整数";
    if (h && t) layout = {static_cast<int32_t>(*h), static_cast<int32_t>(*t)};
    return h && t;
}

int runOpen(Workspace& ws, const Options& o) {
    auto sheet = sheetNumber(o);
    if (!sheet) return usageError("--sheet 需要一个数字");
    SheetLayout layout;
    if (std::string why; !sheetLayout(o, layout, why)) return usageError(why);
    BatchProgress progress;
    OpenRequest request{pathFromUtf8(o.positional.at(1)), *sheet, nullptr, layout};
    auto opened = openWorkbook(ws, request, progress);
    if (!opened) return fail(Step::Open, opened.error());
    std::cout << "数据行数：" << opened->dataRows << "\n";
    std::cout << "列数：" << opened->headings.size() << "\n";
    for (size_t i = 0; i < opened->headings.size(); ++i)
        std::cout << (i + 1) << ". " << opened->headings[i] << "\n";
    return 0;
}

// The ticked positions from --columns (all when absent), checked against the
// sheet before the working database is touched.
std::optional<std::vector<int>> tickedColumns(const Options& o, int lastColumn, std::string& why) {
    std::vector<int> positions;
    if (!o.columns) {
        for (int k = 1; k <= lastColumn; ++k) positions.push_back(k);
        return positions;
    }
    std::stringstream list(*o.columns);
    for (std::string item; std::getline(list, item, ',');) {
        auto k = wholeNumber(item, 1, lastColumn);
        if (!k) {
            why = "--columns 中的 " + item + " 不是 1 到 " + std::to_string(lastColumn) +
                  " 之间的列号";
            return std::nullopt;
        }
        positions.push_back(static_cast<int>(*k));
    }
    // The list ticks columns, as the window's ticks do: sheet order, each once.
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

int runAppend(Workspace& ws, const Options& o, int sheet, const SheetLayout& layout,
              std::optional<int32_t> pause);

int runImport(Workspace& ws, const Options& o) {
    auto sheet = sheetNumber(o);
    std::optional<int32_t> pause;
    SheetLayout layout;
    std::string why;
    if (!sheet) return usageError("--sheet 需要一个数字");
    if (!pauseEvery(o, pause)) return usageError("--pause-every 需要一个数字");
    if (!sheetLayout(o, layout, why)) return usageError(why);
    if (o.append) return runAppend(ws, o, *sheet, layout, pause);
    if (o.sourceColumn) return usageError("--source-column 只能与 --append 一起使用");
    if (o.positional.size() > 2) return usageError("导入多个工作簿时需要 --append（追加导入）");
    const auto book = pathFromUtf8(o.positional.at(1));
    // Opened once: the checks, choosing and importing all read this sheet.
    auto measured = openMeasuredSheet(book, *sheet);
    if (!measured) return fail(Step::Open, measured.error());
    auto positions = tickedColumns(o, (*measured)->lastColumn, why);
    if (!positions) return usageError(why);
    // Refused before the reset, so a layout the sheet cannot take costs no rows.
    auto span = rowSpan((*measured)->usedRows, layout);
    if (!span) return fail(Step::Open, span.error());
    BatchProgress progress;
    auto opened = openWorkbook(ws, {book, *sheet, *measured, layout}, progress);
    if (!opened) return fail(Step::Open, opened.error());
    // A sheet with headings only lists none when chosen, but its import
    // still names the columns.
    auto headings = opened->headings;
    if (headings.empty()) {
        auto read = readHeadings(**measured, span->headingRow);
        if (!read) return fail(Step::Import, read.error());
        headings = std::move(*read);
    }
    ImportRequest request{book, *sheet, *positions, {}, pause, *measured, layout};
    for (int k : *positions)
        request.headings.push_back(k <= static_cast<int>(headings.size()) ? headings[k - 1]
                                                                          : std::string());
    auto imported = importRows(ws, request, progress);
    if (!imported) return fail(Step::Import, imported.error());
    return show(importDone());
}

// --columns for an append: the first workbook's columns, unticked by position.
bool appendTicks(const Options& o, AppendRequest& r, std::string& why) {
    if (!o.columns) return true;
    auto m = openMeasuredSheet(r.workbooks.front(), r.sheet);
    if (!m) return why = m.error().description, false;
    auto span = rowSpan((*m)->usedRows, r.layout);
    if (!span) return why = span.error().description, false;
    auto positions = tickedColumns(o, (*m)->lastColumn, why);
    if (!positions) return false;
    auto listed = readHeadings(**m, span->headingRow);
    if (!listed) return why = listed.error().description, false;
    r.listed = std::move(*listed);
    r.ticked.assign(r.listed.size(), false);
    for (int k : *positions) r.ticked[k - 1] = true;
    return true;
}

int runAppend(Workspace& ws, const Options& o, int sheet, const SheetLayout& layout,
              std::optional<int32_t> pause) {
    AppendRequest request;
    for (size_t i = 1; i < o.positional.size(); ++i)
        request.workbooks.push_back(pathFromUtf8(o.positional[i]));
    request.sheet = sheet;
    request.layout = layout;
    request.sourceColumn = o.sourceColumn;
    request.pauseEvery = pause;
    if (std::string why; !appendTicks(o, request, why)) return usageError(why);
    BatchProgress progress;
    auto done = appendWorkbooks(ws, request, progress);
    if (!done) return fail(Step::Import, done.error());
    std::cout << "追加工作簿数：" << done->files << "\n";
    std::cout << "追加行数：" << done->inserted << "\n";
    return show(importDone());
}

std::optional<int> chosenColumn(const Workspace& ws, const std::optional<std::string>& column,
                                std::string& why) {
    const auto names = column_list::load(ws.paths.columnList());
    auto k =
        column ? wholeNumber(*column, 0, static_cast<int64_t>(names.size()) - 1) : std::nullopt;
    if (!k)
        why = "--column 需要 0 到 " + std::to_string(static_cast<int>(names.size()) - 1) +
              " 之间的列号（见 data/ini.txt 中的列名列表）";
    return k ? std::optional<int>(static_cast<int>(*k)) : std::nullopt;
}

int runDedupe(Workspace& ws, const Options& o) {
    std::string why;
    auto column = chosenColumn(ws, o.column, why);
    if (!column) return usageError(why);
    DedupeRequest request{*column, std::nullopt, {}, o.trim, o.width};
    for (size_t i = 1; i < o.allColumns.size(); ++i) {
        auto more = chosenColumn(ws, o.allColumns[i], why);
        if (!more) return usageError(why);
        request.moreColumns.push_back(*more);
    }
    if (!pauseEvery(o, request.pauseEvery)) return usageError("--pause-every 需要一个数字");
    BatchProgress progress;
    auto done = filterDuplicates(ws, request, progress);
    if (!done) return fail(Step::Dedupe, done.error());
    return show(rowsLeft(done->left));
}

// --match as a way of matching; absent: contains, as the window's default.
std::optional<MatchMode> matchMode(const Options& o) {
    const std::map<std::string, MatchMode> words = {{"contains", MatchMode::Contains},
                                                    {"equals", MatchMode::Equals},
                                                    {"starts", MatchMode::StartsWith},
                                                    {"literal", MatchMode::Literal}};
    auto found = words.find(o.match.value_or("contains"));
    return found == words.end() ? std::nullopt : std::optional(found->second);
}

int runDelete(Workspace& ws, const Options& o) {
    std::string why;
    auto column = chosenColumn(ws, o.column, why);
    if (!column) return usageError(why);
    if (o.allColumns.size() > 1) return usageError("delete 只能给一个 --column");
    if (!o.keyword) return usageError("delete 需要 --keyword");
    auto mode = matchMode(o);
    if (!mode) return usageError("--match 应为 contains、equals、starts 或 literal");
    BatchProgress progress;
    DeleteRequest request{*column, *o.keyword, *mode,
                          std::vector<std::string>(o.keywords.begin() + 1, o.keywords.end())};
    auto done = deleteKeywordRows(ws, request, progress);
    if (!done) return fail(Step::Delete, done.error());
    return show(rowsLeft(done->left));
}

// Builds the chosen list as the window's clicks would; a refused rename
// fails the run before anything is written.
std::optional<ExportLists> exportLists(const Workspace& ws, const Options& o, int& rc) {
    auto lists = ExportLists::fromColumnNames(column_list::load(ws.paths.columnList()));
    if (o.cols.empty()) lists.moveAll();
    for (const auto& spec : o.cols) {
        auto eq = spec.find('=');
        auto k = wholeNumber(spec.substr(0, eq), 0, statements::kTableColumns - 1);
        int at = -1;
        for (size_t i = 0; k && i < lists.available.size(); ++i)
            if (lists.available[i].column == *k) at = static_cast<int>(i);
        if (at < 0)
            return rc = usageError("--col " + spec + "：没有这个列号，或者它已经选过了"),
                   std::nullopt;
        lists.moveToExport(at);
        if (eq == std::string::npos) continue;
        const int last = static_cast<int>(lists.chosen.size()) - 1;
        if (Status st = lists.rename(last, static_cast<int>(*k), spec.substr(eq + 1)); !st.ok())
            return rc = fail(Step::Export, st.error()), std::nullopt;
    }
    return lists;
}

// --format, --split-by and --max-files into `request`; a usage error's code, or 0.
int exportOptions(const Workspace& ws, const Options& o, ExportRequest& request) {
    const std::string format = o.format.value_or("xls");
    if (format != "xls" && format != "xlsx") return usageError("--format 只能是 xls 或 xlsx");
    request.format = format == "xlsx" ? PageFormat::Xlsx : PageFormat::Xls;
    if (o.maxFiles && !o.splitBy) return usageError("--max-files 只用于 --split-by");
    if (!o.splitBy) return 0;
    auto k = wholeNumber(*o.splitBy, 0, statements::kTableColumns - 1);
    if (!k) return usageError("--split-by 需要一个列号（0 到 50）");
    // The folder is named as the column is headed in the export, else by its imported name.
    const auto names = column_list::load(ws.paths.columnList());
    std::string name =
        *k < static_cast<int64_t>(names.size()) ? names[*k] : "a" + std::to_string(*k);
    for (const auto& c : request.columns)
        if (c.column == *k) name = c.heading;
    request.split = SplitBy{static_cast<int>(*k), name};
    if (!o.maxFiles) return 0;
    auto most = wholeNumber(*o.maxFiles, 1, INT64_MAX);
    if (!most) return usageError("--max-files 需要一个正整数");
    request.maxFiles = *most;
    return 0;
}

int runExport(Workspace& ws, const Options& o) {
    int rc = 0;
    auto lists = exportLists(ws, o, rc);
    if (!lists) return rc;
    // Rows per workbook: a whole number; the step itself refuses what is out of range.
    auto rows = parseTypedNumber(o.rows.value_or("1000"), NumberRule::WholeOnly, 0, INT32_MAX);
    if (!rows) return usageError("--rows 需要一个整数");
    ExportRequest request{lists->chosen, static_cast<int32_t>(*rows)};
    if (int bad = exportOptions(ws, o, request)) return bad;
    BatchProgress progress;
    auto done = runExport(ws, request, progress);
    if (!done) return fail(Step::Export, done.error());
    show(exportDone(*done));
    return done->failedPages.empty() ? 0 : 1;
}

// The rows are the output: a closed stdout or a full disk must not pass for
// a table printed, and the message cannot go where the rows failed to.
int outputFailed() {
    std::cerr << "tabrovin-batch: 无法写出数据行（标准输出已关闭或磁盘已满）\n";
    return 1;
}

int runRows(Workspace& ws, const Options& o, bool outputClosed) {
    auto from = wholeNumber(o.from.value_or("1"), 1, INT64_MAX);
    auto count = o.count ? wholeNumber(*o.count, 0, INT64_MAX) : std::optional<int64_t>();
    if (!from) return usageError("--from 需要一个从 1 起的整数");
    if (o.count && !count) return usageError("--count 需要一个整数");
    if (outputClosed) return outputFailed();
    Status st = writeRows(ws.paths.workingDb(), column_list::load(ws.paths.columnList()), *from - 1,
                          count, std::cout);
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) return outputFailed();
    return st.ok() ? 0 : fail(Step::View, st.error());
}

// The step whose title a refused lock carries.
Step stepOf(const std::string& command) {
    if (command == "import") return Step::Import;
    if (command == "dedupe") return Step::Dedupe;
    if (command == "delete") return Step::Delete;
    if (command == "export") return Step::Export;
    if (command == "undo") return Step::Undo;
    if (command == "rows") return Step::View;
    return Step::Open;
}

// The arguments name files and texts of the table: text that is not UTF-8
// would reach it as U+FFFD, or match nothing.
bool allUtf8(int argc, char** argv, std::string& why) {
    for (int i = 1; i < argc; ++i)
        if (!encoding::isValidUtf8(argv[i]))
            return why = "第 " + std::to_string(i) + " 个参数不是有效的 UTF-8 文本", false;
    return true;
}

int runUndo(Workspace& ws) {
    auto undone = undoLastStep(ws);
    if (!undone) return fail(Step::Undo, undone.error());
    return show(undoDone(*undone));
}

}  // namespace

int main(int argc, char** argv) {
    const bool outputClosed = standInForClosedStreams();
    Options o;
    std::string why;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (std::string(argv[i]) == "--version") {
            std::cout << "tabrovin-batch " << TABROVIN_VERSION << "\n";
            return 0;
        }
    if (!allUtf8(argc, argv, why) || !parse(argc, argv, o, why)) return usageError(why);
    if (o.positional.empty()) return usageError("缺少命令");
    const std::string& command = o.positional[0];
    const bool needsWorkbook = command == "open" || command == "import";
    const bool several = command == "import" && o.positional.size() > 2;
    if (o.positional.size() != (needsWorkbook ? 2u : 1u) && !several)
        return usageError(needsWorkbook ? command + " 需要一个工作簿文件" : "多余的参数");
    std::error_code ec;
    if (o.home && !std::filesystem::is_directory(pathFromUtf8(*o.home), ec))
        return usageError("--home 给出的程序目录不存在：" + *o.home);
    auto home = startingHome(o.home ? std::optional(pathFromUtf8(*o.home)) : std::nullopt, argv[0]);
    if (!home) return show(startRefused(home.error()));
    Workspace ws(std::move(*home));
    // One step at a time on a program folder, across windows and batch runs.
    std::optional<FolderLock> lock;
    if (std::filesystem::is_directory(ws.paths.dataDir(), ec)) {
        const bool reads = command == "rows" || command == "export";
        auto taken = FolderLock::acquire(ws.paths.dataDir(), "tabrovin-batch " + command,
                                         reads ? FolderLock::Use::Read : FolderLock::Use::Change);
        if (!taken) return fail(stepOf(command), taken.error());
        lock.emplace(std::move(*taken));
    }
    if (command == "open") return runOpen(ws, o);
    if (command == "import") return runImport(ws, o);
    if (command == "dedupe") return runDedupe(ws, o);
    if (command == "delete") return runDelete(ws, o);
    if (command == "export") return runExport(ws, o);
    if (command == "undo") return runUndo(ws);
    if (command == "rows") return runRows(ws, o, outputClosed);
    return usageError("不认识的命令 " + command);
}
