// The speech service's reply to a recognition request, as the worker reads it: the reply text
// parsed the way the client parses it, then interpreted the way the worker does (the error
// code, the text and its cut, the styled text of a reply without a code).
#include "engine/CloudRecognizer.h"
#include "base/net/JsonText.h"
#include "engine/SpeechReplies.h"
#include "tests/fuzz/FuzzSupport.h"

#include <json/writer.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Json::Value reply = ParseSpeechReply(text);
    const RecognitionReply outcome = ReadRecognitionReply(reply);

    FUZZ_CHECK(outcome.text.size() <= CloudRecognizer::kMaxTextBytes);
    FUZZ_CHECK(outcome.receivedTextBytes >= outcome.text.size());
    FUZZ_CHECK(outcome.answered || outcome.resultCode == -1);
    // The text the window shows is the start of what came, cut only to fit.
    if (outcome.answered && outcome.resultCode == 0 && reply["result"].isArray() && reply["result"][0].isString())
        FUZZ_CHECK(reply["result"][0].asString().compare(0, outcome.text.size(), outcome.text) == 0);
    // The shortcut of the request writer gives the writer's own text, byte for byte.
    FUZZ_CHECK(WriteJsonText(reply) == Json::writeString(Json::StreamWriterBuilder(), reply));

    WriteLog(Warning, "CAudioTask::Run", "%s", ("speech error. msg:" + outcome.errorMessage).c_str());
    return 0;
}
