#pragma once

#include "engine/Recognizer.h"

#include <string>
#include <vector>

// Timed pieces for a text that came without times (the cloud service's): the text cut into
// sentences, each placed on the audio's speech in proportion to its characters.
namespace EstimatedPieces {

// The text's sentences, each ending with its mark: cut after 。！？； and after . ! ? before a
// blank or the end. A sentence of Chinese longer than 20 characters is cut after its commas, and
// what is still longer every 20 characters. Blanks around a sentence are left out.
std::vector<std::string> Sentences(const std::string& text);

// The sentences of `text` on the speech of `pcm` (16 kHz mono s16le), in seconds from its start,
// every piece marked estimated. Without anything that sounds, the whole audio is the speech.
std::vector<TimedPiece> Place(const std::string& text, const std::string& pcm);

}  // namespace EstimatedPieces
