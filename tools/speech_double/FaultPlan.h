#pragma once

#include "speech_double/SpeechFaults.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace SpeechDouble {

// The double's fault schedule: rules first, then the selector, then the endpoint's default.
// Safe to change from a test thread while server threads consult it.
class FaultPlan {
public:
    void AddRule(const FaultRule& rule);
    void SetDefault(Endpoint endpoint, const Fault& fault);
    void SetSelector(FaultSelector selector);
    void Clear();

    // Picks the fault for one request and uses up a hit of the rule that chose it.
    Fault Choose(const RequestInfo& request);

private:
    struct Entry {
        FaultRule rule;
        int hits = 0;
    };

    std::mutex mutex_;
    std::vector<Entry> rules_;
    std::map<Endpoint, Fault> defaults_;
    FaultSelector selector_;
};

}  // namespace SpeechDouble
