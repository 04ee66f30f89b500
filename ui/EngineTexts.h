#pragma once

#include "engine/ShownText.h"

#include <QString>

// The engine's texts for people in the user's language. The engine has no Qt and keeps its
// texts in Chinese; those it marks (TALVORA_TEXT) are looked up here under their context.
class EngineTexts {
public:
    // A marked text of the engine; any other text comes back as it is.
    static QString Translate(const char* text);
    static QString Translate(const std::string& text) { return Translate(text.c_str()); }
    // The source translated with its marked values, the others filled in as they are.
    static QString Translate(const ShownText& text);
};
