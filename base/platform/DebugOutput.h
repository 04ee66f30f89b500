#pragma once

// The process-wide debugger output channel. By default it goes to standard error when the
// environment variable TALVORA_DEBUG_OUTPUT is "1", and nowhere otherwise. Tests install their
// own sink to see what was sent.
namespace Platform {

using DebugSink = void (*)(const char* text, void* user);

// Replaces the sink; pass nullptr to go back to the default. Safe from any thread.
void SetDebugSink(DebugSink sink, void* user);

// Sends one piece of text (no line end is added). Safe from any thread, also during static
// initialisation.
void OutputDebugText(const char* text);

}  // namespace Platform
