#pragma once

#include <string>

// Where the speech service lives. Baidu's production endpoints by default; a compatible
// self-hosted service (or a test double) replaces them through the environment, without
// recompiling: TALVORA_TOKEN_URL, TALVORA_SPEECH_URL and TALVORA_CA_FILE.
struct SpeechEndpoints {
    std::string tokenUrl;       // the whole OAuth token URL
    std::string recognitionUrl; // the whole recognition URL
    std::string caFile;         // PEM bundle to trust instead of the system's store; empty: the system's
};

// Baidu's OAuth token endpoint and speech-recognition endpoint.
extern const char* const kTokenUrl;
extern const char* const kRecognitionUrl;

// The endpoints in force now: the environment's replacements where set and not empty, the
// production ones otherwise. Reads the environment on every call, so it must not race with
// setenv (tests set the variables before any thread that makes requests starts).
SpeechEndpoints CurrentSpeechEndpoints();
