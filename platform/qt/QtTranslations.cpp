#include "platform/qt/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

int QtTranslations::Install()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int loaded = 0;
    // "qt" gathers the base modules; the browser's own menus come separately.
    for (const char *catalogue : {"qt_zh_CN", "qtwebengine_zh_CN"}) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QString::fromLatin1(catalogue), folder) &&
            QCoreApplication::installTranslator(translator)) {
            ++loaded;
        } else {
            delete translator;
        }
    }
    return loaded;
}
