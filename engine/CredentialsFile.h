#pragma once

#include "engine/CredentialPair.h"

#include <string>
#include <vector>

class CredentialPool;

// The user's own speech-service credentials: "credentials.json" in the application data folder,
// a JSON array of objects, each with a non-empty "api_key" and "secret_key" string:
//
//   [ { "api_key": "...", "secret_key": "..." }, ... ]
//
// Other members are ignored. A file that is not exactly this is rejected as a whole, with a
// warning that says what is wrong; secret keys never reach the log.
class CredentialsFile {
public:
    enum class Result { Loaded, Missing, Invalid };

    static constexpr const char* kFileName = "credentials.json";
    // A credentials file is a few hundred bytes; anything this large is not one.
    static constexpr long kMaxSize = 1024 * 1024;

    // The file in the application data folder.
    static std::string DefaultPath();

    // Reads `path` into `pairs` (emptied first). Missing: there is no file. Invalid: unreadable
    // or malformed, logged as a warning; `pairs` stays empty.
    static Result Read(const std::string& path, std::vector<CredentialPair>& pairs);

    // Writes `pairs` to `path` in the form Read takes, the file replaced at once and readable by
    // the user alone (mode 0600); no pairs removes the file, so the built-in pair is used again.
    // False, with the file as it was and `problem` saying why (never quoting a key), when a pair
    // has an empty key (Read would refuse the whole file) or the file cannot be written.
    static bool Write(const std::string& path, const std::vector<CredentialPair>& pairs, std::string* problem = nullptr);

    // Reads `path` and hands its pairs to `pool`. Without a usable file the pool keeps what it
    // has: the built-in pair at start-up.
    static Result Apply(CredentialPool& pool, const std::string& path);
};
