#pragma once

#include <string>

// Addresses of the maker's services. The log endpoint is fixed in the program; the environment
// variable TALVORA_LOG_URL replaces it for test and staging servers, as TALVORA_TOKEN_URL and
// TALVORA_SPEECH_URL do for the speech service.
inline constexpr char kDefaultUpdateUrl[] = "http://update.talvora.example:19999";

std::string LogUploadUrl();
