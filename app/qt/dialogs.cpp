#include "app/qt/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace tabrovin::qt {

void fitToText(QLabel* label) {
    const QSize design = label->property("designSize").toSize();
    const QSize hint = label->sizeHint();
    label->resize(std::max(design.width(), hint.width()), std::max(design.height(), hint.height()));
}

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (name.isEmpty() && pattern.isEmpty()) continue;
        if (pattern.isEmpty()) pattern = QStringLiteral("*");
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
        entries << (name.endsWith(bracketed) ? name : name + QLatin1Char(' ') + bracketed);
    }
    return entries.join(QStringLiteral(";;"));
}

QMessageBox::Icon messageIcon(Icon icon) {
    switch (icon) {
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

void showMessageBox(QWidget* parent, const std::string& text, const std::string& title, Icon icon) {
    QMessageBox box(messageIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

std::string openFileDialog(QWidget* parent, const std::string& filter, const std::string& folder) {
    return QFileDialog::getOpenFileName(parent, QString(), QString::fromStdString(folder),
                                        qtFileFilter(filter), nullptr,
                                        QFileDialog::HideNameFilterDetails)
        .toStdString();
}

void installChineseTranslations() {
    // Dates and file types in the chooser follow the default locale, which
    // under the C locale would be English.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_zh_CN"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QString::fromLatin1(name), dir))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

QString chineseFontFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"宋体", "SimSun", "Noto Sans CJK SC", "WenQuanYi Micro Hei"}) {
        const QString name = QString::fromUtf8(family);
        if (installed.contains(name, Qt::CaseInsensitive)) return name;
    }
    return QString();
}

}  // namespace tabrovin::qt
