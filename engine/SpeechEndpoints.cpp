#include "engine/SpeechEndpoints.h"

#include <cstdlib>

const char* const kTokenUrl = "https://aip.baidubce.com/oauth/2.0/token";
const char* const kRecognitionUrl = "https://vop.baidu.com/server_api";

namespace {

std::string FromEnvironment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? std::string(value) : std::string(fallback);
}

}  // namespace

SpeechEndpoints CurrentSpeechEndpoints()
{
    SpeechEndpoints endpoints;
    endpoints.tokenUrl = FromEnvironment("TALVORA_TOKEN_URL", kTokenUrl);
    endpoints.recognitionUrl = FromEnvironment("TALVORA_SPEECH_URL", kRecognitionUrl);
    endpoints.caFile = FromEnvironment("TALVORA_CA_FILE", "");
    return endpoints;
}
