#pragma once

#include <QStringList>

#include <string>

// The language of the windows: Chinese, the language the program is written in, or English.
// It follows the system (LC_ALL, LC_MESSAGES, LANG, and LANGUAGE before them, as
// QLocale::system().uiLanguages() reads them): English for an English system, Chinese for every
// other, as the program always was. The setting UiLanguage=zh|en in config.ini overrides it.
// Qt's own dialogs and menus (the file dialogs, the text pane's menu) follow the same choice.
//
// Only the windows change: the log, file names, saved texts, settings and the terminal output
// of --transcribe stay as they are.
class UiLanguage {
public:
    enum Kind { Chinese, English };

    // `setting`: config.ini's UiLanguage ("zh" or "en"; anything else counts as unset).
    // `systemLanguages`: the system's languages, most wanted first ("en-US", "zh-CN", "C").
    static Kind Choose(const std::string& setting, const QStringList& systemLanguages);
    // What config.ini and the system say now.
    static Kind FromSettings();
    // "zh" or "en".
    static const char* Code(Kind kind);

    // Installs the translators of `kind` into the application, the program's own and Qt's;
    // once, after the application object and before the first window. False when one of them
    // could not be loaded (logged; those texts stay as they are written).
    static bool Install(Kind kind);
    // FromSettings, then Install: the start of the program's windows. Returns the language.
    static Kind SetUp();

    // The compiled-in English of the windows.
    static constexpr char kEnglishTranslation[] = ":/translations/talvora_en.qm";
};
