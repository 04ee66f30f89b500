#include "engine/Recognizer.h"

#include "base/TextUtils.h"

RecognitionOutcome LanguageRefused(const std::string& recognizer, const std::string& language, const std::string& known)
{
    RecognitionOutcome outcome;
    outcome.code = kLanguageRefusedCode;
    outcome.message = recognizer + " does not know the language \"" + TextUtils::EscapeControls(language) + "\" (it knows " + known +
                      "); choose another Language or another recognizer";
    return outcome;
}
