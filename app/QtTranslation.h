#pragma once

#include <QObject>
#include <QString>
#include <QTranslator>

#include "text/Language.h"

namespace qm {

// Qt's own texts (the buttons of message boxes and dialogs) follow the window's language: Qt's
// Russian translation is installed while Russian is chosen and removed while English is.
class QtTranslation : public QObject {
public:
    // `directory` holds Qt's translations (qtbase_ru.qm); by default Qt's installed ones.
    explicit QtTranslation(QObject* parent = nullptr, QString directory = {});
    ~QtTranslation() override;

    void Follow(Language language);
    // Whether Qt's Russian translation could be found (Debian: qt6-translations-l10n).
    bool RussianAvailable() const { return loaded_; }
    bool RussianInstalled() const { return installed_; }

private:
    QTranslator russian_;
    bool loaded_ = false;
    bool installed_ = false;
};

}  // namespace qm
