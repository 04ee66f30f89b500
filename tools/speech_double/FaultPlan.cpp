#include "speech_double/FaultPlan.h"

namespace SpeechDouble {

void FaultPlan::AddRule(const FaultRule& rule)
{
    std::lock_guard lock(mutex_);
    rules_.push_back({rule, 0});
}

void FaultPlan::SetDefault(Endpoint endpoint, const Fault& fault)
{
    std::lock_guard lock(mutex_);
    defaults_[endpoint] = fault;
}

void FaultPlan::SetSelector(FaultSelector selector)
{
    std::lock_guard lock(mutex_);
    selector_ = std::move(selector);
}

void FaultPlan::Clear()
{
    std::lock_guard lock(mutex_);
    rules_.clear();
    defaults_.clear();
    selector_ = nullptr;
}

Fault FaultPlan::Choose(const RequestInfo& request)
{
    FaultSelector selector;
    {
        std::lock_guard lock(mutex_);
        for (Entry& entry : rules_) {
            const FaultRule& rule = entry.rule;
            if (rule.endpoint != request.endpoint)
                continue;
            if (rule.requestNumber != 0 && rule.requestNumber != request.number)
                continue;
            if (!rule.text.empty() && rule.text != request.text)
                continue;
            if (rule.times >= 0 && entry.hits >= rule.times)
                continue;
            ++entry.hits;
            return rule.fault;
        }
        selector = selector_;
        if (!selector) {
            const auto found = defaults_.find(request.endpoint);
            return found != defaults_.end() ? found->second : Fault();
        }
    }
    // The selector is the test's own code: call it without holding the lock.
    return selector(request);
}

}  // namespace SpeechDouble
