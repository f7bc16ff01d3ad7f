// The desktop program: the main window over the program folder, the folder
// that holds this executable (its data/ and 导出/ lie beside it).

#include <QApplication>
#include <QScreen>
#include <clocale>

#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication adopts the user's locale for C's number functions; cell
    // values must read and print the same in every locale (1.5, not 1,5).
    std::setlocale(LC_NUMERIC, "C");
    tabrovin::qt::installChineseTranslations();
    tabrovin::ProgramPaths paths(tabrovin::executableFolder(argc > 0 ? argv[0] : ""));
    tabrovin::MainWindow window(std::move(paths));
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    return app.exec();
}
