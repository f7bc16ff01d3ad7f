// The export's two options beside the step: the pages' format and how the
// table is divided. Both sit in the free band of Frame3 between the lists and
// the export button, are remembered in window.ini, and say so in a small
// note whenever they differ from the plain .xls pages.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>

#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"

namespace tabrovin {
namespace {

void placeTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(qt::pixels(left), qt::pixels(top), qt::pixels(width), qt::pixels(height));
}

// The settings' keys and the boxes' entries, in order.
constexpr const char* kFormatKey = "export/format";  // "xls" or "xlsx"
constexpr const char* kSplitKey = "export/split";    // "pages" or "value"
constexpr const char* kSplitColumnKey = "export/splitColumn";
enum SplitMode { kPages = 0, kByValue = 1 };

}  // namespace

void MainWindow::buildExportOptions() {
    auto label = [this](const char* name, const char* text, int left) {
        auto* l = new QLabel(QString::fromUtf8(text), frame3_);
        l->setObjectName(QString::fromLatin1(name));
        placeTwips(l, left, 3060, 840, 240);
        return l;
    };
    auto combo = [this](const char* name, int left, int width) {
        auto* c = new QComboBox(frame3_);
        c->setObjectName(QString::fromLatin1(name));
        placeTwips(c, left, 3030, width, 300);
        addOptionControl(c);
        return c;
    };
    label("exportFormatLabel", "输出格式:", 240);
    formatBox_ = combo("exportFormat", 1080, 840);
    formatBox_->addItems({QStringLiteral(".xls"), QStringLiteral(".xlsx")});
    label("splitModeLabel", "拆分方式:", 2040);
    splitModeBox_ = combo("splitMode", 2880, 1560);
    splitModeBox_->addItems({QString::fromUtf8("每 N 行一个文件"), QString::fromUtf8("按列的值")});
    splitColumnBox_ = combo("splitColumn", 4500, 1635);
    optionsNote_ = new QLabel(frame3_);
    optionsNote_->setObjectName(QStringLiteral("exportOptionsNote"));
    placeTwips(optionsNote_, 240, 3390, 5895, 240);
    optionsNote_->setStyleSheet(QStringLiteral("color: #808080"));

    QSettings settings = windowSettings();
    formatBox_->setCurrentIndex(settings.value(kFormatKey).toString() == "xlsx" ? 1 : 0);
    splitModeBox_->setCurrentIndex(settings.value(kSplitKey).toString() == "value" ? kByValue
                                                                                   : kPages);
    splitColumn_ = settings.value(kSplitColumnKey, -1).toInt();
    for (QComboBox* c : {formatBox_, splitModeBox_, splitColumnBox_})
        connect(c, &QComboBox::activated, this, &MainWindow::exportOptionsChanged);
    refreshSplitColumns();
}

void MainWindow::refreshSplitColumns() {
    if (!splitColumnBox_) return;
    splitColumnBox_->clear();
    int keep = -1;
    for (const auto& c : exportLists_.chosen) {
        if (c.column == splitColumn_) keep = splitColumnBox_->count();
        splitColumnBox_->addItem(qs(c.heading), c.column);
    }
    splitColumnBox_->setCurrentIndex(keep >= 0 ? keep : 0);
    showExportOptions();
}

void MainWindow::exportOptionsChanged() {
    if (splitColumnBox_->currentIndex() >= 0) splitColumn_ = splitColumnBox_->currentData().toInt();
    QSettings settings = windowSettings();
    settings.setValue(kFormatKey, formatBox_->currentIndex() == 1 ? "xlsx" : "xls");
    settings.setValue(kSplitKey, splitModeBox_->currentIndex() == kByValue ? "value" : "pages");
    settings.setValue(kSplitColumnKey, splitColumn_);
    showExportOptions();
}

void MainWindow::showExportOptions() {
    const bool byValue = splitModeBox_->currentIndex() == kByValue;
    splitColumnBox_->setVisible(byValue);
    std::string note;
    if (formatBox_->currentIndex() == 1) note = "输出 .xlsx";
    if (byValue) {
        const std::string column = splitColumnBox_->currentIndex() >= 0
                                       ? splitColumnBox_->currentText().toStdString()
                                       : "（未选列）";
        note += (note.empty() ? "" : " · ") + std::string("按“") + column + "”的值拆分";
    }
    optionsNote_->setText(qs(note));
}

bool MainWindow::applyExportOptions(ExportRequest& request) {
    request.format = formatBox_->currentIndex() == 1 ? PageFormat::Xlsx : PageFormat::Xls;
    if (splitModeBox_->currentIndex() != kByValue) return true;
    if (splitColumnBox_->currentIndex() < 0) {
        showMessage({"请先在“按列的值”旁选择拆分的列（从导出的列中选）。"});
        return false;
    }
    request.split = SplitBy{splitColumnBox_->currentData().toInt(),
                            splitColumnBox_->currentText().toStdString()};
    // Many files are asked about first; the step itself refuses too many.
    auto files = countSplitFiles(workspace_, request);
    if (!files || *files <= kSplitFilesToConfirm || *files > request.maxFiles) return true;
    const std::string question = "按“" + request.split->name + "”拆分将写出 " +
                                 std::to_string(*files) + " 个文件。要继续吗？";
    return questionSink
               ? questionSink(question)
               : QMessageBox::question(this, kProgramTitle, qs(question)) == QMessageBox::Yes;
}

}  // namespace tabrovin
