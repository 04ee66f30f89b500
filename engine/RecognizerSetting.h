#pragma once

#include "engine/Recognizer.h"

#include <memory>
#include <optional>
#include <string>

// Reads the setting (empty or missing: "cloud"; "local-en"; "whisper-api"); a value that names no recognizer is logged as a warning and counts as
// "cloud", so a typing error never silently sends nothing anywhere.
RecognizerKind ReadRecognizerSetting();

// The folder of the local decoder's model (holding "en-us/"): the setting "LocalModelDir", by
// default (missing or empty) the folder the decoder library was installed with.
std::string ReadLocalModelDir();

// The setting's value that chooses the recognizer ("cloud", "local-en", "whisper-api").
const char* RecognizerSettingName(RecognizerKind kind);

// The spoken language chosen by the setting "Language": an ISO-639-1 code ("zh", "en", ...) or
// "ct" (Cantonese); empty (the setting missing, empty or not such a code, which is logged as a
// warning): each recognizer's own default.
std::string ReadLanguageSetting();

// The API key for a Whisper-compatible server: the first line of "whisper-api-key" in the
// application data folder, without blanks around it; empty when there is none. A key file that
// others may read is used, with a warning (never with the key) in the log.
std::string ReadWhisperApiKey();

// Where the Whisper-compatible server is and which model it is asked for: "WhisperApiUrl" (empty
// when not set) and "WhisperModel" ("whisper-1" when not set or empty).
struct WhisperServerSetting {
    std::string url;
    std::string model;
};
WhisperServerSetting ReadWhisperServerSetting();
// Where that key is kept.
std::string WhisperApiKeyPath();
// Makes `key` the one ReadWhisperApiKey gives: the file replaced at once and readable by the
// user alone (mode 0600); an empty key removes it. False (errno set) when that fails.
bool WriteWhisperApiKey(const std::string& key);

// Which recognizer turns segments into text is the setting "Recognizer" in config.ini: "cloud"
// (the default), "local-en" or "whisper-api". The cloud one comes with the user's credentials
// ("credentials.json", else the built-in pair); the local one with its own decoders; the Whisper
// one with "WhisperApiUrl", "WhisperModel" (default "whisper-1"), the language and the key.
// `language` as ReadLanguageSetting gives it; by default the setting's.
std::shared_ptr<Recognizer> MakeRecognizer(RecognizerKind kind, const std::optional<std::string>& language = std::nullopt);

// Whether `code` may be chosen as a language: empty, or two lower-case ASCII letters.
bool IsLanguageCode(const std::string& code);

struct JobOptions;
// How a job manager runs its attempts, as the settings say now ("Debug": ffmpeg's output shown).
JobOptions ReadJobOptions();
