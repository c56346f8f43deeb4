#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace qm {

QtTranslation::QtTranslation(QObject* parent, QString directory) : QObject(parent) {
    if (directory.isEmpty()) directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    loaded_ = russian_.load(QStringLiteral("qtbase_ru"), directory);
}

QtTranslation::~QtTranslation() {
    if (installed_) QCoreApplication::removeTranslator(&russian_);
}

void QtTranslation::Follow(Language language) {
    const bool want = loaded_ && language == Language::Russian;
    if (want == installed_) return;
    if (want)
        installed_ = QCoreApplication::installTranslator(&russian_);
    else
        installed_ = !QCoreApplication::removeTranslator(&russian_);
}

}  // namespace qm
