#pragma once

#include "engine/CredentialPair.h"
#include "engine/Recognizer.h"

#include <string>
#include <vector>

// The settings the settings window edits, as the program would use them now: keys of
// config.ini ("Recognizer", "WhisperApiUrl", "WhisperModel", "Language", "SaveTimestamps",
// "UpdateCheck", "Debug"), the Whisper server's key ("whisper-api-key") and the cloud service's
// key pairs ("credentials.json").
struct ProgramSettings {
    RecognizerKind recognizer = RecognizerKind::Cloud;
    std::string whisperUrl;
    std::string whisperModel = "whisper-1";
    std::string whisperKey;
    std::string language;  // empty: each recognizer's own default
    std::vector<CredentialPair> pairs;
    bool saveTimestamps = false;
    bool updateCheck = true;
    bool debug = false;
    // "credentials.json" is there but cannot be used; it is replaced only when the pairs change.
    bool pairsUnreadable = false;

    // The first value that must not be written, and the pair it is in (1-based; 0 for none).
    enum class Problem { None, EmptyApiKey, EmptySecretKey, WhisperUrl, Language };
    struct Check {
        Problem problem = Problem::None;
        int pair = 0;
    };
    Check Validate() const;

    // What is in effect now (an unknown recognizer or language reads as the default, as the
    // program takes it).
    static ProgramSettings Read();

    // Writes what differs from `before`: each file replaced at once, the key files readable by
    // the user alone; the key files before config.ini, so a recognizer never becomes the chosen
    // one ahead of its key. False, with `failure` naming the file and the system's reason, when
    // one cannot be written; those before it stay written.
    bool Write(const ProgramSettings& before, std::string& failure) const;
};
