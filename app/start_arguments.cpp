#include "app/start_arguments.h"

namespace tabrovin {

const char* const kWindowUsage = "用法：tabrovin [--home 目录] [工作簿]";

Result<WindowArguments> parseWindowArguments(const std::vector<std::string>& args) {
    WindowArguments parsed;
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a == "--home") {
            if (i + 1 >= args.size()) return Error::refused("--home 后面缺少目录");
            parsed.home = args[++i];
        } else if (options && a.size() > 1 && a[0] == '-') {
            return Error::refused("不认识的选项 " + a);
        } else if (parsed.workbook) {
            return Error::refused("一次只能打开一个工作簿");
        } else {
            parsed.workbook = a;
        }
    }
    return parsed;
}

}  // namespace tabrovin
