// The desktop program: the main window over the program folder (its data/
// and 导出/), which is the executable's own folder for a portable copy and
// the user's data folder when installed; `--home DIR` names another. A
// workbook named on the command line is chosen as the file chooser would.

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <clocale>
#include <filesystem>

#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"
#include "app/start_arguments.h"
#include "core/program_home.h"

namespace {

std::vector<std::string> argumentsAfterName(const QApplication& app) {
    std::vector<std::string> args;
    // Qt has taken out its own options (-platform, -style) by now.
    const QStringList all = app.arguments();
    for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());
    return args;
}

// `utf8` made absolute against the folder the program was started in.
std::string absolute(const std::string& utf8) {
    std::error_code ec;
    auto p = std::filesystem::absolute(tabrovin::pathFromUtf8(utf8), ec);
    return ec ? utf8 : tabrovin::utf8FromPath(p);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tabrovin;
    QApplication app(argc, argv);
    // Ties the window to its menu entry (icon, name) on Wayland too.
    QGuiApplication::setDesktopFileName(QStringLiteral("tabrovin"));
    // QApplication adopts the user's locale for C's number functions; cell
    // values must read and print the same in every locale (1.5, not 1,5).
    std::setlocale(LC_NUMERIC, "C");
    qt::installChineseTranslations();
    auto start = parseWindowArguments(argumentsAfterName(app));
    if (!start) {
        const std::string text = start.error().description + "\n" + kWindowUsage;
        qt::showMessageBox(nullptr, text, kProgramTitle, Icon::Critical);
        return 2;
    }
    std::optional<std::filesystem::path> given;
    if (start->home) given = pathFromUtf8(absolute(*start->home));
    std::error_code ec;
    if (given && !std::filesystem::is_directory(*given, ec)) {
        const std::string text = "--home 给出的程序目录不存在：" + *start->home;
        qt::showMessageBox(nullptr, text, kProgramTitle, Icon::Critical);
        return 2;
    }
    auto home = startingHome(given, argc > 0 ? argv[0] : "");
    if (!home) {
        const Message refused = startRefused(home.error());
        qt::showMessageBox(nullptr, refused.text, refused.title, refused.icon);
        return 1;
    }
    MainWindow window(std::move(*home));
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    // Once the window is up, so that its messages have a window to sit on.
    if (start->workbook)
        QTimer::singleShot(0, &window, [&window, book = absolute(*start->workbook)] {
            window.chooseAtStart(book);
        });
    return app.exec();
}
