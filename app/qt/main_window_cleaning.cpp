// The cleaning options beside step two: the tools menu's 清理选项…, the
// note in the step-two frame whenever an option is not at its default, the
// requests they change, and the count of what a step would remove.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>

#include "app/qt/cleaning_options.h"
#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"

namespace tabrovin {
namespace {

// Both counts as one line; a step that would refuse says why instead.
std::string removalCounts(const ProgramPaths& paths, const DedupeRequest& dedupe,
                          const DeleteRequest& remove) {
    const Workspace ws(paths);
    auto duplicates = countDuplicateRows(ws, dedupe);
    auto matching = countKeywordRows(ws, remove);
    auto said = [](Result<int64_t> n) {
        return n.ok() ? "将删除 " + std::to_string(*n) + " 行"
                      : "无法统计：" + n.error().description;
    };
    return "3.过滤重复" + said(duplicates) + "；\n4.删除相应的行" + said(matching) + "。";
}

}  // namespace

void MainWindow::buildCleaningOptions() {
    cleaning_ = [this] {
        QSettings settings = windowSettings();
        return CleaningOptions::load(settings);
    }();
    QAction* open =
        tools_->addAction(QString::fromUtf8("清理选项…"), this, &MainWindow::showCleaningDialog);
    open->setObjectName(QStringLiteral("cleaningOptions"));
    // The free space between Combo1 and the two buttons; small type, wrapped.
    cleaningLabel_ = new QLabel(frame4_);
    cleaningLabel_->setObjectName(QStringLiteral("cleaningOptionsLabel"));
    cleaningLabel_->setWordWrap(true);
    cleaningLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = cleaningLabel_->font();
    small.setPixelSize(std::max(9, small.pixelSize() - 3));
    cleaningLabel_->setFont(small);
    cleaningLabel_->setGeometry(qt::pixels(3180), qt::pixels(240), qt::pixels(1110),
                                qt::pixels(540));
    showCleaningNote();
}

void MainWindow::showCleaningDialog() {
    if (!cleaningDialog_) {
        cleaningDialog_ = new CleaningDialog(this);
        connect(cleaningDialog_, &CleaningDialog::changed, this, &MainWindow::setCleaningOptions);
        connect(cleaningDialog_, &CleaningDialog::countAsked, this, &MainWindow::countRemovals);
        for (QWidget* w : cleaningDialog_->optionControls()) addOptionControl(w);
    }
    cleaningDialog_->showOptions(cleaning_, columnNames_);
}

void MainWindow::setCleaningOptions(const CleaningOptions& options) {
    cleaning_ = options;
    QSettings settings = windowSettings();
    cleaning_.save(settings);
    showCleaningNote();
}

void MainWindow::showCleaningNote() {
    if (!cleaningLabel_) return;
    const QString note = qs(cleaning_.summary(columnNames_));
    cleaningLabel_->setText(note.isEmpty() ? QString() : QString::fromUtf8("选项：") + note);
    cleaningLabel_->setToolTip(cleaningLabel_->text());
    cleaningLabel_->setVisible(!note.isEmpty());
}

void MainWindow::applyCleaning(DedupeRequest& request) const {
    cleaning_.applyTo(request, columnNames_.size());
}

void MainWindow::applyCleaning(DeleteRequest& request) const {
    cleaning_.applyTo(request);
}

// Read through connections of its own, off the window's thread: the table
// is not changed and no step is kept from starting.
void MainWindow::countRemovals() {
    DedupeRequest dedupe{combo_->currentIndex(), std::nullopt};
    applyCleaning(dedupe);
    DeleteRequest remove{combo_->currentIndex(), text(TextBox::Text2)};
    applyCleaning(remove);
    cleaningDialog_->count([paths = workspace_.paths, dedupe, remove] {
        return removalCounts(paths, dedupe, remove);
    });
}

}  // namespace tabrovin
