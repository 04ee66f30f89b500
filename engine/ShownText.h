#pragma once

#include <string>
#include <vector>

// Marks a text the windows show in the user's language. The engine keeps the Chinese original,
// which the terminal, the log and saved files use as it is; the window looks the same text up
// in Qt's translations under the context given here (kShownTextContext). Qt's lupdate reads the
// mark as QT_TRANSLATE_NOOP (the talvora_lupdate target tells it so).
#define TALVORA_TEXT(context, text) text

// The translation context of every text the engine marks.
inline constexpr char kShownTextContext[] = "Engine";

// A text for people made of a marked source with the places %1 to %9 and the values that go
// into them: the window translates the source and the marked values, the rest (file names,
// numbers, the service's messages) goes in as it is.
struct ShownText {
    struct Value {
        std::string text;
        bool marked = false;  // a marked text of its own, translated with the source
    };

    const char* source = "";
    std::vector<Value> values;

    // The Chinese original with its values in place.
    std::string Plain() const;
    // `source` with values[N - 1] in place of each %N, in one pass: what a value brings in is
    // never filled again. A place without its value stays as it is.
    static std::string Fill(const std::string& source, const std::vector<std::string>& values);
};
