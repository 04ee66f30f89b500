#pragma once

#include <string>

// The whole seconds of a duration as libmediainfo gives it ("Duration" of a stream, in
// milliseconds as text, maybe with a fraction): its leading decimal digits; 0 when there are
// none, at most INT_MAX. The text comes from whatever file the user picked.
int DurationSecondsOfText(const std::wstring& text);
