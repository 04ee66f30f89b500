#pragma once

#include "engine/CredentialPair.h"

#include <cstdint>
#include <mutex>
#include <vector>

// The speech-service credential pairs a cloud recognizer takes turns with. Any thread.
class CredentialPool {
public:
    // Replaces the pairs. An empty list is logged as a warning, and the built-in pair is used
    // from then on.
    void Replace(const std::vector<CredentialPair>& pairs);

    // The next pair round-robin; the position advances before it is used, so a fresh pool of
    // three gives 1, 2, 0, 1, ... The built-in pair while the pool is empty.
    CredentialPair Next();

private:
    std::mutex lock;
    std::vector<CredentialPair> pool;
    int32_t index = 0;
};
