#pragma once

#include <string>
#include <string_view>

namespace SpeechDouble {

// Decodes standard Base64 the way a strict service would: RFC 4648 alphabet, "=" padding to a
// multiple of four, no line breaks or other characters, unused bits zero. Returns false (and
// leaves `bytes` unspecified) for anything else.
bool DecodeBase64Strict(std::string_view text, std::string& bytes);

}  // namespace SpeechDouble
