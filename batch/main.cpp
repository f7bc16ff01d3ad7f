// tabrovin-batch: the window's actions on the same program folder, without a
// window. Every message box is printed as one line "[title] text"; a
// critical message (an action's error) or a missing completion message ends
// with a non-zero exit code.

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "core/memory_window.h"
#include "export/export_lists.h"
#include "platform/program_folder.h"

namespace {

using namespace tabrovin;

constexpr const char* kUsage = R"(用法: tabrovin-batch [--home 目录] 命令 [选项]

  --home 目录   程序目录 (含 data 与 导出 文件夹); 默认为本程序所在目录

命令:
  open 工作簿 [--sheet N]
        选择工作簿: 用空白模板重置工作数据库, 列出第 N 个工作表的列名,
        打印数据行数、列数和列名。
  import 工作簿 [--sheet N] [--columns 1,3,5] [--pause-every P]
        选择工作簿并导入: 只勾选列出的列 (从 1 数起, 默认全部),
        导入后像关闭窗口一样保存列名列表。不给 --pause-every 时不暂停。
  dedupe --column K [--pause-every P]
        过滤重复: 第 K 列 (列名列表中从 0 数起) 每个值只保留最先导入的一行。
  delete --column K --keyword 关键字
        删除第 K 列包含关键字的行。
  export [--col K[=列名]]... [--rows N]
        按给出的顺序导出这些列 (默认全部列, 用原列名), 每个工作簿 N 行 (默认 1000)。

退出码: 0 成功; 1 操作出错或被拒绝; 2 命令行有误。
)";

struct Options {
    std::optional<std::string> home, sheet, columns, pauseEvery, column, keyword, rows;
    std::vector<std::string> cols;  // --col K[=HEADING]
    std::vector<std::string> positional;
};

int usageError(const std::string& why) {
    std::cerr << "tabrovin-batch: " << why << "\n\n" << kUsage;
    return 2;
}

bool parse(int argc, char** argv, Options& o, std::string& why) {
    const std::map<std::string, std::optional<std::string>*> single = {
        {"--home", &o.home},       {"--sheet", &o.sheet},
        {"--columns", &o.columns}, {"--pause-every", &o.pauseEvery},
        {"--column", &o.column},   {"--keyword", &o.keyword},
        {"--rows", &o.rows}};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto slot = single.find(a);
        if (a.rfind("--", 0) != 0) {
            o.positional.push_back(a);
        } else if (slot == single.end() && a != "--col") {
            return why = "不认识的选项 " + a, false;
        } else if (i + 1 >= argc) {
            return why = a + " 后面缺少值", false;
        } else if (slot != single.end()) {
            *slot->second = argv[++i];
        } else {
            o.cols.push_back(argv[++i]);
        }
    }
    return true;
}

std::optional<int> number(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9)
        return std::nullopt;
    return std::stoi(text);
}

struct Batch {
    MemoryWindow window;
    Session session;
    explicit Batch(const std::filesystem::path& home) : session(ProgramPaths(home), window) {
        window.onMessage = [](const ShownMessage& m) {
            std::cout << "[" << m.title << "] " << m.text << std::endl;
        };
        session.pauses.enabled = false;
        formLoad(session);
    }
    bool failed() const {
        for (const auto& m : window.messages)
            if (m.icon == Icon::Critical) return true;
        return false;
    }
    bool shown(const std::string& prefix) const {
        for (const auto& m : window.messages)
            if (m.text.rfind(prefix, 0) == 0) return true;
        return false;
    }
    void setPauses(const Options& o) {
        if (!o.pauseEvery) return;
        window.setText(TextBox::Text5, *o.pauseEvery);
        session.pauses.enabled = true;
    }
};

bool chooseWorkbook(Batch& b, const Options& o) {
    if (o.sheet) b.window.setText(TextBox::Text4, *o.sheet);
    b.window.nextFiles.push_back(o.positional.at(1));
    cmdClick(b.session, 6);
    return !b.failed();
}

int runOpen(Batch& b, const Options& o) {
    if (!chooseWorkbook(b, o)) return 1;
    std::cout << "数据行数: " << b.window.caption(Label::Label6) << "\n";
    std::cout << "列数: " << b.window.count(ListBox::List1) << "\n";
    for (int i = 0; i < b.window.count(ListBox::List1); ++i)
        std::cout << (i + 1) << ". " << b.window.item(ListBox::List1, i) << "\n";
    return 0;
}

int runImport(Batch& b, const Options& o) {
    if (!chooseWorkbook(b, o)) return 1;
    if (o.columns) {
        const int n = b.window.count(ListBox::List1);
        for (int i = 0; i < n; ++i) b.window.setChecked(i, false);
        std::stringstream list(*o.columns);
        for (std::string item; std::getline(list, item, ',');) {
            auto k = number(item);
            if (!k || *k < 1 || *k > n)
                return usageError("--columns 中的 " + item + " 不是 1 到 " + std::to_string(n) +
                                  " 之间的列号");
            b.window.setChecked(*k - 1, true);
        }
    }
    b.setPauses(o);
    cmdClick(b.session, 5);
    if (!formQueryUnload(b.session)) return 1;
    return b.failed() || !b.shown("导入完成了!") ? 1 : 0;
}

int chooseColumn(Batch& b, const Options& o) {
    auto k = o.column ? number(*o.column) : std::nullopt;
    if (!k || *k >= b.window.comboCount())
        return usageError("--column 需要 0 到 " + std::to_string(b.window.comboCount() - 1) +
                          " 之间的列号 (见 data/ini.txt 中的列名列表)");
    b.window.setComboIndex(*k);
    return 0;
}

int runDedupe(Batch& b, const Options& o) {
    if (int rc = chooseColumn(b, o)) return rc;
    b.setPauses(o);
    cmdClick(b.session, 4);
    return b.failed() || !b.shown("去重复完成了") ? 1 : 0;
}

int runDelete(Batch& b, const Options& o) {
    if (int rc = chooseColumn(b, o)) return rc;
    if (!o.keyword) return usageError("delete 需要 --keyword");
    b.window.setText(TextBox::Text2, *o.keyword);
    cmdClick(b.session, 3);
    return b.failed() || !b.shown("去重复完成了") ? 1 : 0;
}

int chooseExportColumn(Batch& b, const std::string& spec) {
    auto eq = spec.find('=');
    auto k = number(spec.substr(0, eq));
    WindowPort& w = b.window;
    int at = -1;
    for (int i = 0; k && i < w.count(ListBox::List2); ++i)
        if (auto c = parseEntry(w.item(ListBox::List2, i)); c && c->column == *k) at = i;
    if (at < 0) return usageError("--col " + spec + ": 没有这个列号, 或者它已经选过了");
    w.setSelectedIndex(ListBox::List2, at);
    list2DblClick(b.session);
    if (eq == std::string::npos) return 0;
    w.setSelectedIndex(ListBox::List3, w.count(ListBox::List3) - 1);
    list3Click(b.session);
    w.setText(TextBox::Text3, spec.substr(eq + 1));
    cmdClick(b.session, 0);
    return 0;
}

int runExport(Batch& b, const Options& o) {
    menuClick(b.session, 1);
    for (const auto& spec : o.cols)
        if (int rc = chooseExportColumn(b, spec)) return rc;
    if (o.cols.empty()) cmdClick(b.session, 1);
    b.window.setText(TextBox::Text1, o.rows.value_or("1000"));
    cmdClick(b.session, 2);
    return b.failed() || !b.shown(" 完成了导出") ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string why;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::cout << kUsage;
            return 0;
        }
    if (!parse(argc, argv, o, why)) return usageError(why);
    if (o.positional.empty()) return usageError("缺少命令");
    const std::string& command = o.positional[0];
    const bool needsWorkbook = command == "open" || command == "import";
    if (o.positional.size() != (needsWorkbook ? 2u : 1u))
        return usageError(needsWorkbook ? command + " 需要一个工作簿文件" : "多余的参数");
    std::filesystem::path home = o.home ? pathFromUtf8(*o.home) : executableFolder(argv[0]);
    Batch batch(home);
    if (command == "open") return runOpen(batch, o);
    if (command == "import") return runImport(batch, o);
    if (command == "dedupe") return runDedupe(batch, o);
    if (command == "delete") return runDelete(batch, o);
    if (command == "export") return runExport(batch, o);
    return usageError("不认识的命令 " + command);
}
