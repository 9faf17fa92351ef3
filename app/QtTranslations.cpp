#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// qtbase's translations without the key names of shortcuts (context "QShortcut").
class TQtBaseTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        if (context && qstrcmp(context, "QShortcut") == 0)
            return {};
        return QTranslator::translate(context, sourceText, disambiguation, n);
    }
};

}  // namespace

bool InstallQtTranslations(QCoreApplication& application)
{
    auto* translator = new TQtBaseTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
