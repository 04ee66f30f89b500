#pragma once

#include "engine/Recognizer.h"

#include <memory>
#include <string>

// Which recognizer turns segments into text: the setting "Recognizer" in config.ini, "cloud"
// (the default) or "local-en".
enum class RecognizerKind { Cloud, LocalEnglish };

// Reads the setting (empty or missing: "cloud"); a value that names no recognizer is logged as a warning and counts as
// "cloud", so a typing error never silently sends nothing anywhere.
RecognizerKind ReadRecognizerSetting();

// The folder of the local decoder's model (holding "en-us/"): the setting "LocalModelDir", by
// default (missing or empty) the folder the decoder library was installed with.
std::string ReadLocalModelDir();

std::shared_ptr<Recognizer> MakeRecognizer(RecognizerKind kind);
