#pragma once

#include <string>

// One API key and secret key of the speech service.
struct CredentialPair {
    std::string apiKey;
    std::string secretKey;

    bool operator==(const CredentialPair&) const = default;
};

// The pair the program uses while the user has supplied none of their own.
const CredentialPair& BuiltInCredential();
