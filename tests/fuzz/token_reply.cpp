// The token endpoint's reply, as the speech client reads it before every request.
#include "engine/SpeechReplies.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstdint>
#include <limits>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TokenReply token = ReadTokenReply(ParseSpeechReply(text));

    FUZZ_CHECK(token.expiresIn >= std::numeric_limits<int32_t>::min());
    FUZZ_CHECK(token.expiresIn <= std::numeric_limits<int32_t>::max());

    WriteLog(Warning, "CSpeechClient::FetchToken", "token request failed, error: %s",
             token.error.substr(0, 100).c_str());
    return 0;
}
