#include "app/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/dispatch.h"
#include "app/qt/dialogs.h"

namespace tabrovin {
namespace {

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

std::string MainWindow::text(TextBox box) const {
    return texts_[static_cast<int>(box)]->text().toStdString();
}

void MainWindow::setText(TextBox box, const std::string& t) {
    texts_[static_cast<int>(box)]->setText(qs(t));
}

std::string MainWindow::caption(Label l) const {
    return label(l)->text().toStdString();
}

void MainWindow::setCaption(Label l, const std::string& c) {
    label(l)->setText(qs(c));
    if (l != Label::Label1) qt::fitToText(label(l));
}

int MainWindow::widthTwips(Label l) const {
    // The exact value last set, unless the label has since been resized to
    // its text: then its real width.
    const int pixels = label(l)->width();
    auto it = widthsTwips_.find(l);
    if (it != widthsTwips_.end() && qt::pixels(it->second) == pixels) return it->second;
    return pixels * 15;
}

void MainWindow::setWidthTwips(Label l, int twips) {
    twips = std::max(twips, 0);
    widthsTwips_[l] = twips;
    label(l)->resize(qt::pixels(twips), label(l)->height());
}

int MainWindow::count(ListBox l) const {
    return list(l)->count();
}

std::string MainWindow::item(ListBox l, int index) const {
    return list(l)->item(index)->text().toStdString();
}

void MainWindow::addItem(ListBox l, const std::string& t) {
    auto* entry = new QListWidgetItem(qs(t));
    if (l == ListBox::List1) {
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(Qt::Unchecked);
    }
    list(l)->addItem(entry);
}

void MainWindow::setItem(ListBox l, int index, const std::string& t) {
    list(l)->item(index)->setText(qs(t));
}

void MainWindow::removeItem(ListBox l, int index) {
    // As a list box does: removing the selected entry (or the last ones
    // past it) leaves nothing selected; otherwise the position stays.
    int selected = list(l)->currentRow();
    delete list(l)->takeItem(index);
    if (selected == index || selected >= list(l)->count()) selected = -1;
    setSelectedIndex(l, selected);
}

void MainWindow::clear(ListBox l) {
    list(l)->clear();
}

int MainWindow::selectedIndex(ListBox l) const {
    return list(l)->currentRow();
}

void MainWindow::setSelectedIndex(ListBox l, int index) {
    list(l)->setCurrentRow(index);
    if (index < 0) list(l)->clearSelection();
}

bool MainWindow::checked(int index) const {
    return list(ListBox::List1)->item(index)->checkState() == Qt::Checked;
}

void MainWindow::setChecked(int index, bool on) {
    list(ListBox::List1)->item(index)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

bool MainWindow::list1Enabled() const {
    return list(ListBox::List1)->isEnabled();
}

void MainWindow::setList1Enabled(bool enabled) {
    list(ListBox::List1)->setEnabled(enabled);
}

int MainWindow::comboCount() const {
    return combo_->count();
}

std::string MainWindow::comboItem(int index) const {
    return combo_->itemText(index).toStdString();
}

void MainWindow::comboAdd(const std::string& t) {
    // Adding an entry never changes the choice (Qt would choose the first).
    const int chosen = combo_->currentIndex();
    combo_->addItem(qs(t));
    combo_->setCurrentIndex(chosen);
}

void MainWindow::comboClear() {
    combo_->clear();
}

int MainWindow::comboIndex() const {
    return combo_->currentIndex();
}

void MainWindow::setComboIndex(int index) {
    combo_->setCurrentIndex(index);
}

bool MainWindow::buttonEnabled(int index) const {
    return buttons_.at(index)->isEnabled();
}

void MainWindow::setButtonEnabled(int index, bool enabled) {
    buttons_.at(index)->setEnabled(enabled);
}

std::string MainWindow::buttonCaption(int index) const {
    return buttons_.at(index)->text().toStdString();
}

void MainWindow::setButtonCaption(int index, const std::string& c) {
    buttons_.at(index)->setText(qs(c));
}

View MainWindow::view() const {
    return frame3_->isVisibleTo(this) ? View::Export : View::ImportAndProcessing;
}

void MainWindow::showView(View v) {
    const bool exporting = v == View::Export;
    frame2_->setVisible(!exporting);
    frame4_->setVisible(!exporting);
    frame3_->setVisible(exporting);
}

void MainWindow::showMessage(const std::string& t, const std::string& title, Icon icon) {
    if (messageSink) {
        messageSink(ShownMessage{t, title, icon});
        return;
    }
    qt::showMessageBox(this, t, title, icon);
}

std::string MainWindow::chooseFile(const std::string& filter) {
    if (fileChooser) return fileChooser(filter);
    return qt::openFileDialog(this, filter);
}

void MainWindow::processEvents() {
    QCoreApplication::processEvents();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!formQueryUnload(session_)) {
        closePending_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::run(const std::function<void(Session&)>& action) {
    if (session_.busy()) return;
    for (QAction* entry : menu_) entry->setEnabled(false);
    action(session_);
    for (QAction* entry : menu_) entry->setEnabled(true);
    if (closePending_ && !session_.busy()) {
        closePending_ = false;
        close();
    }
}

void MainWindow::connectEvents() {
    for (int i = 0; i < kButtonCount; ++i)
        connect(buttons_[i], &QPushButton::clicked, this,
                [this, i] { run([i](Session& s) { cmdClick(s, i); }); });
    for (int i = 0; i < 2; ++i)
        connect(menu_[i], &QAction::triggered, this,
                [this, i] { run([i](Session& s) { menuClick(s, i); }); });
    connect(list(ListBox::List2), &QListWidget::itemDoubleClicked, this,
            [this] { run(list2DblClick); });
    connect(list(ListBox::List3), &QListWidget::itemClicked, this, [this] { run(list3Click); });
    connect(list(ListBox::List3), &QListWidget::itemDoubleClicked, this,
            [this] { run(list3DblClick); });
}

}  // namespace tabrovin
