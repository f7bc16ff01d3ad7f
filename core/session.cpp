#include "core/session.h"

#include <cmath>
#include <thread>

namespace tabrovin {

Status requireFile(const std::filesystem::path& path, const std::string& what) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return Status::Ok();
    if (!std::filesystem::is_directory(path.parent_path(), ec))
        return Error{err::kPathNotFound, "找不到文件夹 " + utf8FromPath(path.parent_path()) + " (" +
                                             what + " " + utf8FromPath(path.filename()) +
                                             " 应在其中)"};
    return Error{err::kFileNotFound, "找不到" + what + ": " + utf8FromPath(path)};
}

Status Session::openConn() {
    conn.release();
    TABROVIN_TRY(requireFile(paths.workingDb(), "工作数据库"));
    return conn.open(paths.workingDb());
}

void Session::pause() {
    if (!pauses.enabled) return;
    ++pauseCount;
    int w = window.widthTwips(Label::Label1);
    window.setWidthTwips(Label::Label1, 6500 - w <= 500 ? 0 : w + 500);
    // A steady clock: the pause ends after its length whatever the wall clock does.
    auto deadline = std::chrono::steady_clock::now() + pauses.length;
    do {
        window.processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
}

void Session::message(const std::string& text, Icon icon, const std::string& title) {
    window.showMessage(text, title, icon);
}

void Session::errorBox(const std::string& titleTag, const Error& e) {
    window.showMessage(e.description, titleTag + std::to_string(e.number), Icon::Critical);
}

}  // namespace tabrovin
