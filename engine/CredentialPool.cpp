#include "engine/CredentialPool.h"

#include "base/LogFile.h"
#include "base/LogTags.h"

void CredentialPool::Replace(const std::vector<CredentialPair>& pairs)
{
    if (pairs.empty())
        WriteLog(Warning, LogTag::kCredentialPoolReplace, "get ServerKey size is null");
    std::lock_guard<std::mutex> guard(lock);
    pool = pairs;
}

CredentialPair CredentialPool::Next()
{
    std::lock_guard<std::mutex> guard(lock);
    if (pool.empty())
        return BuiltInCredential();
    // The index is kept across replacements; one past the new end starts again at 0.
    ++index;
    if (index < 0 || static_cast<size_t>(index) >= pool.size())
        index = 0;
    return pool[static_cast<size_t>(index)];
}
