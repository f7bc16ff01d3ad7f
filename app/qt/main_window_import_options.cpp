// The import options in the window: the dialog in the tools menu, the note
// in the step-one frame while any option is not at its default, and the
// append of several workbooks chosen or dropped together.

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSettings>
#include <algorithm>

#include "app/qt/dialogs.h"
#include "app/qt/import_options_dialog.h"
#include "app/qt/main_window.h"
#include "core/column_list.h"
#include "core/numbers.h"
#include "import/append_workbooks.h"

namespace tabrovin {
namespace {

std::vector<std::string> openFilesDialog(QWidget* parent, const std::string& filter,
                                         const std::string& folder) {
    std::vector<std::string> paths;
    const QStringList chosen =
        QFileDialog::getOpenFileNames(parent, QString(), qs(folder), qt::qtFileFilter(filter),
                                      nullptr, QFileDialog::HideNameFilterDetails);
    for (const QString& p : chosen) paths.push_back(p.toStdString());
    return paths;
}

}  // namespace

void MainWindow::buildImportOptions() {
    QAction* edit =
        tools_->addAction(QString::fromUtf8("导入选项…"), this, &MainWindow::editImportOptions);
    edit->setObjectName(QStringLiteral("importOptions"));
    addOptionControl(edit);
    // In the free space between the step-one buttons and the column list.
    importOptionsLabel_ = new QLabel(frame2_);
    importOptionsLabel_->setObjectName(QStringLiteral("importOptionsLabel"));
    importOptionsLabel_->setWordWrap(true);
    importOptionsLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    importOptionsLabel_->setGeometry(qt::pixels(2835), qt::pixels(2280), qt::pixels(975),
                                     qt::pixels(930));
    QPalette red = importOptionsLabel_->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    importOptionsLabel_->setPalette(red);
    QSettings settings = windowSettings();
    importOptions_ = loadImportOptions(settings);
    showImportOptions();
}

void MainWindow::editImportOptions() {
    if (!state_.allows(Control::Options)) return;
    auto* dialog = new ImportOptionsDialog(importOptions_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // A step started meanwhile runs with the options it read.
        if (!state_.allows(Control::Options)) return;
        importOptions_ = dialog->chosen();
        QSettings settings = windowSettings();
        saveImportOptions(settings, importOptions_);
        showImportOptions();
    });
    dialog->open();
}

void MainWindow::showImportOptions() {
    const QString text = qs(describeImportOptions(importOptions_));
    importOptionsLabel_->setText(text);
    importOptionsLabel_->setToolTip(text.isEmpty() ? QString()
                                                   : QString::fromUtf8("导入选项：") + text);
    importOptionsLabel_->setVisible(!text.isEmpty());
}

void MainWindow::chooseWorkbooksToAppend() {
    const std::string folder = windowSettings().value("lastFolder").toString().toStdString();
    chooseWorkbookPaths(filesChooser ? filesChooser(kWorkbookFilter, folder)
                                     : openFilesDialog(this, kWorkbookFilter, folder));
}

void MainWindow::chooseWorkbookPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) return showMessage(noWorkbookChosen());
    chooseWorkbookPath(paths.front());
    // After chooseWorkbookPath, which takes the first for all of them.
    if (!xlsPath_.empty()) appendPaths_ = paths;
}

void MainWindow::startAppend() {
    auto n = toInt16(text(TextBox::Text4));      // rounded; below 1 means 1
    auto pause = toInt32(text(TextBox::Text5));  // rounded
    if (!n || !pause) return refuseBeforeStart(Step::Import, n ? pause.error() : n.error());
    AppendRequest request;
    for (const auto& p : appendPaths_) request.workbooks.push_back(pathFromUtf8(p));
    request.sheet = std::max<int>(*n, 1);
    request.layout = chosenOptions_.layout;
    request.sourceColumn = chosenOptions_.sourceColumn;
    request.pauseEvery = *pause;
    for (int i = 0; i < list(ListBox::List1)->count(); ++i) {
        QListWidgetItem* item = list(ListBox::List1)->item(i);
        request.listed.push_back(item->text().toStdString());
        request.ticked.push_back(item->checkState() == Qt::Checked);
    }
    if (std::count(request.ticked.begin(), request.ticked.end(), true) == 0)
        return refuseBeforeStart(Step::Import, Error::noColumnTicked());
    if (!prepareStep(Step::Import)) return;
    const FolderStamp before = knownFolder_;
    runStep<AppendReport>(
        Step::Import,
        [this, request](Progress& p) { return appendWorkbooks(workspace_, request, p); },
        [this, before](const Result<AppendReport>&) {
            // Rows kept by a stopped append are named on disk too.
            fillColumnChooser(column_list::load(workspace_.paths.columnList()));
            return StepEnd{false, FolderStamp::of(workspace_.paths).tableDiffers(before)};
        },
        [this](const AppendReport&) { showMessage(importDone()); });
}

}  // namespace tabrovin
