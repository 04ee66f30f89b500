#pragma once

#include "engine/Recognizer.h"

#include <memory>
#include <string>

// Reads the setting (empty or missing: "cloud"); a value that names no recognizer is logged as a warning and counts as
// "cloud", so a typing error never silently sends nothing anywhere.
RecognizerKind ReadRecognizerSetting();

// The folder of the local decoder's model (holding "en-us/"): the setting "LocalModelDir", by
// default (missing or empty) the folder the decoder library was installed with.
std::string ReadLocalModelDir();

// Which recognizer turns segments into text is the setting "Recognizer" in config.ini: "cloud"
// (the default) or "local-en". The cloud one comes with the user's credentials
// ("credentials.json", else the built-in pair); the local one with its own decoders.
std::shared_ptr<Recognizer> MakeRecognizer(RecognizerKind kind);

struct JobOptions;
// How a job manager runs its attempts, as the settings say now ("Debug": ffmpeg's output shown).
JobOptions ReadJobOptions();
