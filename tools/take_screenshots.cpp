// Build step behind scripts/screenshots.sh: drives the real window through
// the three steps over a scratch program folder and a sample workbook, and
// saves a picture of the window at each step for the user guide. Only the
// file dialog and the message boxes go through the window's seams, so the
// pictures show the window exactly as a user sees it.
//
//   take_screenshots PROGRAM_FOLDER IMAGES_FOLDER
//
// PROGRAM_FOLDER holds data/ (B.mdb, 导出空白.xls) and 导出/. Fails, and
// saves nothing further, when a step does not end as a user's would.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"
#include "platform/xls/xls_writer.h"

namespace {

using namespace tabrovin;

struct Failure {
    std::string why;
};

void require(bool ok, const std::string& why) {
    if (!ok) throw Failure{why};
}

// A staff list of the kind the program is for: repeated names for the
// duplicate filter, a remark to delete rows by.
std::vector<std::vector<std::string>> sampleRows() {
    const char* const surnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄"};
    const char* const given[] = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "勇", "艳", "杰", "军"};
    const char* const departments[] = {"销售部", "财务部", "人事部", "技术部", "客服部"};
    const char* const cities[] = {"北京", "上海", "广州", "成都", "武汉", "杭州"};
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < 240; ++r) {
        std::string name = std::string(surnames[r % 8]) + given[(r / 8) % 11];
        rows.push_back({name, departments[r % 5], std::to_string(13800138000LL + r * 37),
                        cities[r % 6],
                        "20" + std::to_string(10 + r % 14) + "-0" + std::to_string(1 + r % 9) +
                            "-1" + std::to_string(r % 9),
                        r % 11 == 0 ? "已离职" : ""});
    }
    return rows;
}

std::filesystem::path writeSampleWorkbook(const std::filesystem::path& folder) {
    auto blank = xls::ExportTemplate::load(folder / "data" / pathFromUtf8("导出空白.xls"));
    require(blank.ok(), "no blank workbook to write the sample with");
    const std::filesystem::path out = folder / pathFromUtf8("员工名单.xls");
    Status written =
        blank->write(out, {"姓名", "部门", "电话", "城市", "入职日期", "备注"}, sampleRows());
    require(written.ok(), written.ok() ? "" : written.error().description);
    return out;
}

class Driver {
  public:
    Driver(const std::filesystem::path& folder, QString images)
        : window_(ProgramPaths(folder)), images_(std::move(images)) {
        window_.show();
        require(QTest::qWaitForWindowExposed(&window_), "the window did not show");
    }

    template <class T = QWidget>
    T* find(const char* name) {
        T* w = window_.findChild<T*>(QString::fromLatin1(name));
        require(w != nullptr, std::string("no control ") + name);
        return w;
    }
    void click(const char* button) {
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
        waitIdle();
    }
    void clickItem(const char* list, int row, bool twice) {
        auto* widget = find<QListWidget>(list);
        require(row < widget->count(), std::string("too few entries in ") + list);
        const QPoint at = widget->visualItemRect(widget->item(row)).center();
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, at);
    }
    void type(const char* box, const char* text) {
        auto* edit = find<QLineEdit>(box);
        edit->setFocus();
        edit->selectAll();
        edit->insert(QString::fromUtf8(text));  // as an input method commits it
    }
    // Picks entry `index` of a drop-down list as a click on it would.
    void choose(const char* box, int index) {
        auto* combo = find<QComboBox>(box);
        require(index < combo->count(), std::string("too few entries in ") + box);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void waitIdle() {
        require(QTest::qWaitFor(
                    [this] { return !window_.operationRunning() && !window_.counting(); }, 120000),
                "a step did not end");
    }
    // Saves what the display shows of the window. A picture of one colour
    // means nothing was drawn, which would leave a blank in the guide.
    void shoot(const char* name) {
        QTest::qWait(100);
        // Painted and sent to the X server now; the grab is a later request
        // on the same connection, so it sees every pixel of this paint.
        window_.repaint();
        QPixmap shot = window_.screen()->grabWindow(window_.winId());
        if (shot.isNull()) shot = window_.grab();
        const QImage image = shot.toImage();
        require(!image.isNull() && image.width() > 100 && image.height() > 100,
                std::string("no picture of ") + name);
        require(image.pixel(0, 0) != image.pixel(image.width() / 2, image.height() / 2) ||
                    image.pixel(0, 0) != image.pixel(image.width() - 1, image.height() - 1),
                std::string("the picture of ") + name + " is blank");
        const QString path = images_ + "/" + QString::fromLatin1(name);
        require(image.save(path, "PNG"), "cannot write " + path.toStdString());
        std::printf("take_screenshots: %s\n", path.toLocal8Bit().constData());
    }
    MainWindow& window() { return window_; }

  private:
    MainWindow window_;
    QString images_;
};

void expectMessage(std::vector<Message>& messages, const Message& expected) {
    require(messages.size() == 1 && messages[0] == expected,
            "expected the message “" + expected.text + "”, got “" +
                (messages.empty() ? std::string() : messages.back().text) + "”");
    messages.clear();
}

void driveSteps(const std::filesystem::path& folder, const QString& images) {
    const std::filesystem::path workbook = writeSampleWorkbook(folder);
    std::vector<Message> messages;
    MainWindow::messageSink = [&messages](const Message& m) { messages.push_back(m); };
    MainWindow::fileChooser = [&workbook](const std::string&, const std::string&) {
        return utf8FromPath(workbook);
    };
    MainWindow::questionSink = [](const std::string&) { return false; };

    Driver d(folder, images);
    // Step 1: the workbook chosen, its columns listed, one of them unticked.
    d.click("cmd6");
    require(messages.empty(), messages.empty() ? "" : messages[0].text);
    auto* columns = d.find<QListWidget>("List1");
    require(columns->count() == 6, "the sample's columns are not listed");
    columns->item(4)->setCheckState(Qt::Unchecked);  // 入职日期
    columns->setCurrentRow(4);
    d.shoot("step1.png");

    // Step 2: imported, a column and a keyword chosen for the processing.
    d.click("cmd5");
    expectMessage(messages, importDone());
    d.find<QComboBox>("Combo1")->setCurrentIndex(4);  // 备注
    d.type("Text2", "离职");
    d.shoot("step2.png");

    // Step 3: the export view, three columns chosen, one of them renamed and
    // another in the heading editor.
    d.find<QAction>("SR1")->trigger();
    for (int i = 0; i < 3; ++i) d.clickItem("List2", 0, true);
    d.clickItem("List3", 2, false);
    d.type("Text3", "联系电话");
    d.click("cmd0");
    expectMessage(messages, headingRenamed());
    d.clickItem("List3", 1, false);
    d.type("Text1", "500");
    d.shoot("step3.png");

    // The export's options: .xlsx pages, one workbook per 部门.
    d.choose("exportFormat", 1);
    d.choose("splitMode", 1);
    d.choose("splitColumn", 1);
    d.shoot("export-options.png");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: take_screenshots PROGRAM_FOLDER IMAGES_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    qt::installChineseTranslations();
    const QString images = QString::fromLocal8Bit(argv[2]);
    try {
        require(QDir().mkpath(images), "cannot make " + images.toStdString());
        driveSteps(std::filesystem::path(argv[1]), images);
    } catch (const Failure& f) {
        std::fprintf(stderr, "take_screenshots: %s\n", f.why.c_str());
        return 1;
    }
    return 0;
}
