#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

// The texts for people in the skin's layout files and their translation. Layouts are written in
// Chinese, the program's source language; the builder puts each text through the application's
// translators as it applies it, under the layout file's name as the context ("RtmpPlayer.xml"),
// so one word may read differently in two windows. lupdate cannot read the layouts: the program
// talvora_layout_texts writes their texts as C++ for it (the talvora_lupdate target).
class LayoutTexts {
public:
    // One text of a layout, and where it stands.
    struct Entry {
        QString element;    // "Button", "ListHeaderItem", ...
        QString name;       // the element's name attribute, if any
        QString attribute;  // "text", ...
        QString text;
    };

    // Whether an attribute of a control element holds a text for people: "text", "tooltip", a
    // list's "emptytext", an edit field's "placeholder" and "accessiblename". A control given another attribute
    // with such a text needs it here.
    static bool IsText(const QString& attribute);
    // Whether a value reads as a text for people rather than a number, name or file: it holds a
    // character beyond ASCII (every text of the layouts is Chinese).
    static bool LooksShown(const QString& value);
    // The translation context of a layout file's texts: its name without the folders.
    static QString Context(const std::wstring& fileName);
    // `text` in the user's language, as the application's translators have it (the text itself
    // when none has it).
    static QString Translate(const QString& context, const QString& text);

    // Every text of a layout, in document order; the attributes of <Window>, <Font> and
    // <ScrollBar> hold none. Stops at the first XML error.
    static std::vector<Entry> Collect(const QByteArray& xml);
    // Attributes that are no text attributes but hold a value that LooksShown: a text for people
    // that would not be translated.
    static std::vector<Entry> Untranslated(const QByteArray& xml);
};
