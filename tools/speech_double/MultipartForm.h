#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace SpeechDouble {

// One part of a multipart/form-data body.
struct FormItem {
    std::string name;
    bool hasFileName = false;  // a file part, even when its filename is empty
    std::string fileName;
    std::string contentType;   // empty when the part has none
    std::string content;
};

// Splits a multipart/form-data body the way a strict server would: the Content-Type names the
// boundary (1 to 70 characters, quoted or not); the body starts with the first delimiter line
// (no preamble), every line of the framing ends in CRLF, every part carries a
// "Content-Disposition: form-data" header with a name, and the closing delimiter ends the body
// (a CRLF after it is allowed, nothing else). False, with `error` saying what is wrong, when it
// is not so.
bool ParseMultipartForm(std::string_view contentType, std::string_view body, std::vector<FormItem>& parts,
                        std::string& error);

}  // namespace SpeechDouble
