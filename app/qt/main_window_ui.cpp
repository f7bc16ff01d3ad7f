// Construction of the main window: every control at its design position
// (twips, converted by qt::pixels), with its initial texts.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include "app/qt/background_work.h"
#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"
#include "app/qt/window_defaults.h"
#include "app/qt/window_progress.h"
#include "core/column_list.h"

namespace tabrovin {
namespace {

constexpr int kClientWidthTwips = 6585;
constexpr int kClientHeightTwips = 4995;
constexpr int kBaseFontPixels = 12;     // 9 pt at 96 dpi
constexpr int kCounterFontPixels = 19;  // 14.25 pt at 96 dpi
const QColor kCaptionGreen(0x00, 0x40, 0x00);
const QColor kHeadingOlive(0x40, 0x40, 0x00);
const QColor kCounterBlue(0x00, 0x00, 0xFF);

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(qt::pixels(left), qt::pixels(top), qt::pixels(width), qt::pixels(height));
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, color);
    w->setPalette(p);
}

// A group box whose caption is dark green; its labels set their own colour,
// so the green stays on the caption.
QGroupBox* addFrame(QWidget* parent, const char* name, const char* caption, int left, int top,
                    int width, int height) {
    auto* frame = new QGroupBox(QString::fromUtf8(caption), parent);
    frame->setObjectName(QString::fromLatin1(name));
    setTextColor(frame, kCaptionGreen);
    place(frame, left, top, width, height);
    return frame;
}

}  // namespace

MainWindow::MainWindow(ProgramPaths paths, QWidget* parent)
    : QMainWindow(parent), workspace_(std::move(paths)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8("Tabrovin1.0 - 表格数据导入导出工具"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont base = font();
    if (const QString family = qt::chineseFontFamily(); !family.isEmpty()) base.setFamily(family);
    base.setPixelSize(kBaseFontPixels);
    setFont(base);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(qt::pixels(kClientWidthTwips), qt::pixels(kClientHeightTwips));
    setCentralWidget(client);
    buildMenu();
    buildToolsMenu();
    setAcceptDrops(true);
    buildImportStep(client);
    buildImportOptions();
    buildProcessingStep(client);
    buildCleaningOptions();
    buildExportStep(client);
    buildStatusLine(client);
    setFocusOrder();
    connectEvents();
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());

    place(frame3_, 120, 120, 6375, 4575);
    buttons_[6]->setFocus();
    fillColumnChooser(column_list::load(workspace_.paths.columnList()));
    rowCounter_ = new BackgroundWork(this);
    showTableRowCount();
    rememberFolder();
    refreshToolsMenu();
}

void MainWindow::buildMenu() {
    const char* const captions[] = {"导入及处理", "导出Excel"};
    for (int i = 0; i < 2; ++i) {
        menu_[i] = menuBar()->addAction(QString::fromUtf8(captions[i]));
        menu_[i]->setObjectName(QStringLiteral("SR%1").arg(i));
    }
}

QLabel* MainWindow::addLabel(QWidget* parent, const char* name, const char* text, int left, int top,
                             int width, int height) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    setTextColor(label, palette().color(QPalette::WindowText));
    place(label, left, top, width, height);
    label->setProperty("designSize", label->size());
    qt::fitToText(label);
    return label;
}

QLineEdit* MainWindow::addTextBox(QWidget* parent, TextBox box, const char* name, int left, int top,
                                  int width, int height) {
    auto* edit = new QLineEdit(QString::fromStdString(defaults::initialText(box)), parent);
    edit->setObjectName(QString::fromLatin1(name));
    place(edit, left, top, width, height);
    texts_[static_cast<int>(box)] = edit;
    return edit;
}

QPushButton* MainWindow::addButton(QWidget* parent, int index, int left, int top, int width,
                                   int height) {
    auto* button = new QPushButton(QString::fromStdString(defaults::buttonCaption(index)), parent);
    button->setObjectName(QStringLiteral("cmd%1").arg(index));
    button->setAutoDefault(false);
    place(button, left, top, width, height);
    buttons_[index] = button;
    return button;
}

QListWidget* MainWindow::addList(QWidget* parent, ListBox l, const char* name, int left, int top,
                                 int width, int height) {
    auto* widget = new QListWidget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    place(widget, left, top, width, height);
    lists_[static_cast<int>(l)] = widget;
    return widget;
}

void MainWindow::buildImportStep(QWidget* client) {
    frame2_ = addFrame(client, "Frame2", "第一步:选择你要导入的列", 120, 120, 6375, 3255);
    buildCountersFrame(frame2_);
    addList(frame2_, ListBox::List1, "List1", 3840, 240, 2175, 2580);
    addLabel(frame2_, "Label2", "选择你要导入的列", 3840, 2880, 1440, 180);
    addButton(frame2_, 6, 480, 2280, 2295, 375);
    addButton(frame2_, 5, 480, 2760, 2295, 360);
}

void MainWindow::buildCountersFrame(QGroupBox* frame2) {
    QGroupBox* frame1 = addFrame(frame2, "Frame1", "", 240, 240, 3495, 1935);
    addLabel(frame1, "Label4", "总行数:", 120, 240, 630, 180);
    labels_[Label::Label6] = addLabel(frame1, "Label6", "0", 960, 240, 165, 285);
    addLabel(frame1, "Label5", "总列数:", 120, 680, 630, 180);
    labels_[Label::Label7] = addLabel(frame1, "Label7", "0", 960, 650, 165, 285);
    addLabel(frame1, "Label3", "已导入:", 120, 1080, 630, 180);
    labels_[Label::Label8] = addLabel(frame1, "Label8", "0", 960, 1080, 165, 285);
    addLabel(frame1, "Label18", "Excel第几个表:", 2160, 240, 1260, 180);
    addTextBox(frame1, TextBox::Text4, "Text4", 2880, 600, 495, 270);
    addLabel(frame1, "Label19", "每导多少条等候0.5秒:", 240, 1600, 1800, 180);
    addTextBox(frame1, TextBox::Text5, "Text5", 2040, 1560, 735, 270);
    addLabel(frame1, "Label20", "防死", 2880, 1600, 360, 180);

    QFont counterFont = font();
    counterFont.setPixelSize(kCounterFontPixels);
    counterFont.setBold(true);
    for (Label l : {Label::Label6, Label::Label7, Label::Label8}) {
        label(l)->setFont(counterFont);
        setTextColor(label(l), kCounterBlue);
        qt::fitToText(label(l));
    }
}

void MainWindow::buildProcessingStep(QWidget* client) {
    frame4_ = addFrame(client, "Frame4", "第二步:中间处理", 120, 3480, 6375, 1215);
    addLabel(frame4_, "Label10", "处理相应的列:", 240, 360, 1170, 180);
    combo_ = new QComboBox(frame4_);
    combo_->setObjectName(QStringLiteral("Combo1"));
    combo_->setEditable(false);
    place(combo_, 1680, 320, 1455, 300);
    addLabel(frame4_, "Label11", "相应的例删除包含下面关健字的:", 240, 840, 2610, 180);
    addTextBox(frame4_, TextBox::Text2, "Text2", 2880, 800, 1095, 270);
    addButton(frame4_, 4, 4320, 240, 1695, 360);
    addButton(frame4_, 3, 4320, 720, 1695, 360);
}

void MainWindow::buildExportStep(QWidget* client) {
    frame3_ = addFrame(client, "Frame3", "第三步:导出数据", 120, 120, 6375, 4575);
    frame3_->hide();
    setTextColor(addLabel(frame3_, "Label12", "选择你要导出的列双击:", 240, 480, 1890, 180),
                 kHeadingOlive);
    addList(frame3_, ListBox::List2, "List2", 240, 720, 1935, 2220);
    addButton(frame3_, 1, 2220, 1560, 375, 360);
    setTextColor(addLabel(frame3_, "Label13", "导出Excel顺序:", 2640, 480, 1260, 180),
                 kHeadingOlive);
    addList(frame3_, ListBox::List3, "List3", 2640, 720, 1815, 2220);

    QGroupBox* frame5 = addFrame(frame3_, "Frame5", "", 4560, 600, 1575, 2295);
    addLabel(frame5, "Label14", "导出的列名是:", 120, 360, 1170, 180);
    addTextBox(frame5, TextBox::Text3, "Text3", 120, 720, 1215, 270);
    labels_[Label::Label15] = addLabel(frame5, "Label15", "0", 240, 1080, 90, 180);
    labels_[Label::Label16] = addLabel(frame5, "Label16", "0", 960, 1080, 90, 180);
    addButton(frame5, 0, 240, 1440, 990, 360);

    addLabel(frame3_, "Label9", "每多少个一个excel:", 2760, 3960, 1620, 180);
    addTextBox(frame3_, TextBox::Text1, "Text1", 4560, 3840, 1215, 270);
    addButton(frame3_, 2, 360, 3720, 2055, 615);
    buildExportOptions();
}

void MainWindow::buildStatusLine(QWidget* client) {
    auto* bar = new QLabel(client);
    bar->setObjectName(QStringLiteral("Label1"));
    bar->setAutoFillBackground(true);
    QPalette p = bar->palette();
    p.setColor(QPalette::Window, kCounterBlue);
    bar->setPalette(p);
    place(bar, 120, 4680, defaults::kBarStartTwips, 300);
    labels_[Label::Label1] = bar;
    barTwips_ = defaults::kBarStartTwips;

    // Left empty: the progress bar grows across this line and would hide it.
    setTextColor(addLabel(client, "Label17", "", 2040, 4800, 4485, 195), kCaptionGreen);

    // Shown only while a step that can stop runs, in the menu bar's corner,
    // where it hides neither a control of the steps nor the progress bar.
    cancelButton_ = new QPushButton(QString::fromUtf8("取消"), menuBar());
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAutoDefault(false);
    cancelButton_->setFlat(true);
    cancelButton_->setMaximumHeight(menuBar()->sizeHint().height());
    menuBar()->setCornerWidget(cancelButton_, Qt::TopRightCorner);
    cancelButton_->hide();
}

void MainWindow::setFocusOrder() {
    const std::array<const char*, 16> order = {"cmd6", "List1", "cmd5",  "cmd2",  "Text1", "Combo1",
                                               "cmd4", "Text2", "cmd3",  "List2", "List3", "Text3",
                                               "cmd0", "cmd1",  "Text4", "Text5"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        auto* next = findChild<QWidget*>(QString::fromLatin1(name));
        if (previous) setTabOrder(previous, next);
        previous = next;
    }
}

}  // namespace tabrovin
