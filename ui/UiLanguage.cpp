#include "ui/UiLanguage.h"

#include "base/Config.h"
#include "base/LogFile.h"
#include "base/LogTags.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

constexpr char kSettingKey[] = "UiLanguage";
// The Chinese the program is written in is Simplified, as Qt's zh_CN translations are.
constexpr char kQtChinese[] = "qtbase_zh_CN";

// Loads a translation and gives it to the application, which keeps it for its whole life.
bool InstallTranslator(const QString& file, const QString& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(file, folder)) {
        const QString where = folder.isEmpty() ? file : folder + QLatin1Char('/') + file;
        WriteLog(Warning, LogTag::kUiLanguageInstall, "%s", ("translation not found: " + where).toStdString().c_str());
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace

UiLanguage::Kind UiLanguage::Choose(const std::string& setting, const QStringList& systemLanguages)
{
    if (setting == "zh")
        return Chinese;
    if (setting == "en")
        return English;
    const QString first = systemLanguages.value(0);
    return QLocale(first).language() == QLocale::English ? English : Chinese;
}

UiLanguage::Kind UiLanguage::FromSettings()
{
    const std::string setting = ReadConfigString(kSettingKey, "", 16);
    if (!setting.empty() && setting != "zh" && setting != "en")
        WriteLog(Warning, LogTag::kUiLanguageInstall, "%s",
                 ("UiLanguage \"" + setting + "\" is neither zh nor en; the system decides").c_str());
    return Choose(setting, QLocale::system().uiLanguages());
}

const char* UiLanguage::Code(Kind kind)
{
    return kind == English ? "en" : "zh";
}

bool UiLanguage::Install(Kind kind)
{
    // Qt's own texts are English already; the program's are Chinese already.
    if (kind == English)
        return InstallTranslator(QString::fromLatin1(kEnglishTranslation), QString());
    return InstallTranslator(QString::fromLatin1(kQtChinese), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

UiLanguage::Kind UiLanguage::SetUp()
{
    const Kind kind = FromSettings();
    const bool installed = Install(kind);
    WriteLog(Info, LogTag::kUiLanguageInstall, "windows in %s (system %s)%s", Code(kind),
             QLocale::system().uiLanguages().value(0).toStdString().c_str(), installed ? "" : ", untranslated");
    return kind;
}
