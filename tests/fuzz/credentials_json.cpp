// credentials.json, the user's own speech-service keys, as the program reads it at start-up.
#include "engine/CredentialsFile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = Fuzz::DataFolder() + "/" + CredentialsFile::kFileName;
    Fuzz::WriteFile(path, data, size);
    std::vector<CredentialPair> pairs;
    const CredentialsFile::Result result = CredentialsFile::Read(path, pairs);
    FUZZ_CHECK(result != CredentialsFile::Result::Missing);
    if (result == CredentialsFile::Result::Invalid)
        FUZZ_CHECK(pairs.empty());
    for (const CredentialPair& pair : pairs)
        FUZZ_CHECK(!pair.apiKey.empty() && !pair.secretKey.empty());
    return 0;
}
