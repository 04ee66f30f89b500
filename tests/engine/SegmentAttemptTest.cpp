#include "EngineFixture.h"

#include "base/LiveThreads.h"
#include "engine/SegmentAttempt.h"
#include "engine/SpeechClient.h"
#include "engine/FfmpegCommand.h"
#include "engine/DecoderPool.h"
#include "engine/LocalRecognizer.h"
#include "engine/RecognizerSetting.h"
#include "speech_double/TonePcm.h"
#include "support/AudioFiles.h"

#include <algorithm>
#include <cstdlib>
#include <condition_variable>
#include <filesystem>
#include <random>
#include <thread>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

using namespace TestSupport;
using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

// Runs one segment attempt and keeps its outcome.
struct Outcome {
    int32_t code = 0;
    std::string message;
    std::string text;
    std::vector<TimedPiece> pieces;
};

Outcome RunTask(const std::string& pcmFile, std::shared_ptr<Recognizer> recognizer = nullptr)
{
    SegmentAttemptInput input;
    input.pcmFile = pcmFile;
    if (recognizer == nullptr)
        recognizer = TestCloud();
    const SegmentAttemptOutcome outcome = AttemptSegment(input, *recognizer);
    return {outcome.code, outcome.message, outcome.text, outcome.pieces};
}

class SegmentAttemptTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(MakeToneFile(dir_ / "input.wav", 30, {440}, 30));
        command_ = Pcm(dir_ / "input.wav");
    }
    // The file's audio as a segment file: raw 16 kHz mono samples beside it.
    static std::string Pcm(const std::string& file)
    {
        const std::string pcm = file + ".pcm";
        EXPECT_EQ(RunChild({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-f", "s16le", "-ac", "1", "-ar", "16000", pcm}).exitCode, 0);
        return pcm;
    }
    std::string command_;
};

}  // namespace

TEST_F(SegmentAttemptTest, RecognisedSegment)
{
    const Outcome outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "success.");
    EXPECT_EQ(outcome.text, "tone 440");
    EXPECT_NE(Log().find(TestSupport::LogEntry("CAudioTask::Run", "speech text size: 8")), std::string::npos);
    // The request carried the language option and the whole segment.
    const auto requests = speech_->Requests(Endpoint::Recognition);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]->audioBytes, 30u * 32000u);
    EXPECT_NE(requests[0]->body.find("\n\t\"lan\" : \"ZH\",\n"), std::string::npos);

    // A chosen language is the service's "lan"; Chinese is what it always was. One the service
    // does not know is refused before anything is sent.
    speech_->ClearRequests();
    const std::pair<std::string, std::string> languages[] = {{"zh", "ZH"}, {"en", "EN"}, {"ct", "CT"}};
    for (const auto& [language, lan] : languages)
        EXPECT_EQ(RunTask(command_, TestCloud(language)).code, 0) << language;
    const Outcome german = RunTask(command_, TestCloud("de"));
    EXPECT_EQ(german.code, kLanguageRefusedCode);
    EXPECT_EQ(german.message, "the cloud service does not know the language \"de\" (it knows zh, en and ct); choose another "
                              "Language or another recognizer");
    auto sent = speech_->Requests(Endpoint::Recognition);
    ASSERT_EQ(sent.size(), 3u);
    std::sort(sent.begin(), sent.end(), [](const auto& x, const auto& y) { return x->number < y->number; });
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_NE(sent[i]->body.find("\n\t\"lan\" : \"" + languages[i].second + "\",\n"), std::string::npos) << i;
}

TEST_F(SegmentAttemptTest, TheLocalRecognizerHearsEnglishWithoutTheNetwork)
{
    const std::string wav = dir_ / "goforward.wav";
    ASSERT_TRUE(MakeWavFromRaw(std::string(TALVORA_SPEECH_TESTDATA) + "/goforward.raw", wav));
    const Outcome outcome = RunTask(Pcm(wav),
                                    std::make_shared<LocalRecognizer>(ReadLocalModelDir()));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "success.");
    EXPECT_EQ(outcome.text, "go forward ten meters");
    EXPECT_NE(Log().find("LocalRecognizer::Recognize:\t\tlocal text size: 21\r\n"), std::string::npos);
    // Nothing went to the service, and the library's progress stayed out of the log.
    EXPECT_EQ(speech_->RequestCount(Endpoint::Token), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
    EXPECT_EQ(Log().find("INFO"), std::string::npos);

    // Chinese to the English model would be English nonsense: refused, saying why.
    const Outcome chinese = RunTask(Pcm(wav), std::make_shared<LocalRecognizer>(ReadLocalModelDir(), nullptr, "zh"));
    EXPECT_EQ(chinese.code, kLanguageRefusedCode);
    EXPECT_EQ(chinese.text, "");
    EXPECT_NE(chinese.message.find("the local recognizer does not know the language \"zh\" (it knows en only)"), std::string::npos);

    // Once the program is ending, nobody waits for a text: the speech is not decoded. The end
    // cannot be undone, so it is asked for in a process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LiveThreads::AskAllToEnd();
            const Outcome late = RunTask(Pcm(wav), std::make_shared<LocalRecognizer>(ReadLocalModelDir()));
            std::fprintf(stderr, "%d %s", late.code, late.message.c_str());
            std::_Exit(late.code == LocalRecognizer::kDecodeFailedCode && late.text.empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "local decoding given up: the program is ending");
}

TEST_F(SegmentAttemptTest, TheLocalRecognizerTimesItsSentencesWhereTheyAreSaid)
{
    // The decoder's recording twice in silence, at 2.0 and at 9.5 seconds. Sixteen seconds are
    // more than one utterance, so the second is decoded apart and timed from its own start.
    const std::string forward = ReadFile(std::string(TALVORA_SPEECH_TESTDATA) + "/goforward.raw");
    ASSERT_GT(forward.size(), 32000u);
    const auto samplesAt = [](double seconds) { return static_cast<size_t>(seconds * 16000) * 2; };
    std::string pcm(samplesAt(16), '\0');
    for (const double at : {2.0, 9.5})
        pcm.replace(samplesAt(at), forward.size(), forward);
    WriteFile(dir_ / "twice.raw", pcm);
    const std::string wav = dir_ / "twice.wav";
    ASSERT_TRUE(MakeWavFromRaw(dir_ / "twice.raw", wav));

    // Where the speech starts in the recording itself: its first sample a tenth as loud as its
    // loudest (its background hum stays far below that).
    std::vector<int> loudness;
    for (size_t i = 0; i + 1 < forward.size(); i += 2)
        loudness.push_back(std::abs(static_cast<int16_t>(static_cast<uint8_t>(forward[i]) | static_cast<uint8_t>(forward[i + 1]) << 8)));
    const int loudest = *std::max_element(loudness.begin(), loudness.end());
    const auto first = std::find_if(loudness.begin(), loudness.end(), [loudest](int l) { return l > loudest / 10; });
    const double speechStart = static_cast<double>(first - loudness.begin()) / 16000;
    const double length = static_cast<double>(forward.size()) / 32000;

    const Outcome outcome = RunTask(Pcm(wav), std::make_shared<LocalRecognizer>(ReadLocalModelDir()));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.text, "go forward ten meters go forward ten meters");
    // The pause between the two is long: two sentences, each at its own place.
    ASSERT_EQ(outcome.pieces.size(), 2u) << outcome.text;
    for (size_t i = 0; i < 2; ++i) {
        const TimedPiece& piece = outcome.pieces[i];
        const double at = i == 0 ? 2.0 : 9.5;
        EXPECT_EQ(piece.text, "go forward ten meters");
        EXPECT_FALSE(piece.estimated);
        EXPECT_NEAR(piece.start, at + speechStart, 0.3) << i;
        EXPECT_GT(piece.end, piece.start + 1.0) << i;
        EXPECT_LT(piece.end, at + length) << i;
    }

    // Ten seconds of the same words without a pause long enough to end a sentence: cut so that
    // no piece lasts longer than seven seconds.
    const std::string spoken = forward.substr(samplesAt(0.4), samplesAt(2.0));
    std::string run;
    for (int i = 0; i < 5; ++i)
        run += spoken;
    WriteFile(dir_ / "run.raw", run);
    ASSERT_TRUE(MakeWavFromRaw(dir_ / "run.raw", wav));
    const Outcome unbroken = RunTask(Pcm(wav), std::make_shared<LocalRecognizer>(ReadLocalModelDir()));
    EXPECT_EQ(unbroken.code, 0);
    ASSERT_GE(unbroken.pieces.size(), 2u) << unbroken.text;
    std::string said;
    for (const TimedPiece& piece : unbroken.pieces) {
        EXPECT_LE(piece.end - piece.start, 7.0) << piece.text;
        said += (said.empty() ? "" : " ") + piece.text;
    }
    EXPECT_EQ(said, unbroken.text);
}

TEST_F(SegmentAttemptTest, TheLocalRecognizerHearsTheSameOnEveryCoreAsOnOneDecoder)
{
    // Three of the decoder's read clips one after the other: 18 seconds, two utterances.
    std::string reading;
    for (const char* clip : {"0870", "0890", "0920"})
        reading += ReadFile(std::string(TALVORA_SPEECH_TESTDATA) + "/librivox/sense_and_sensibility_01_austen_64kb-" + clip + ".wav").substr(44);
    ASSERT_GT(reading.size() / 2, LocalRecognizer::kMaxUtteranceSamples);

    // One decoder, one utterance after the other, after three seconds of loud noise: what the
    // front end learnt from the noise must not change what it hears next.
    LocalRecognizer one(ReadLocalModelDir(), std::make_shared<DecoderPool>(1));
    std::mt19937 random(7);
    std::string noise(3 * 32000, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random() >> 8);
    ASSERT_EQ(one.Recognize(noise).code, 0);
    const RecognitionOutcome serial = one.Recognize(reading);
    ASSERT_EQ(serial.code, 0) << serial.message;
    ASSERT_GE(serial.pieces.size(), 2u) << serial.text;

    // Two segments at once with two decoders: each decoder takes utterances of both.
    LocalRecognizer every(ReadLocalModelDir(), std::make_shared<DecoderPool>(2));
    RecognitionOutcome other;
    std::thread second([&] { other = every.Recognize(reading); });
    const RecognitionOutcome first = every.Recognize(reading);
    second.join();
    EXPECT_EQ(every.Pool().LoadedCount(), 2u);
    for (const RecognitionOutcome* parallel : std::initializer_list<const RecognitionOutcome*>{&first, &other}) {
        EXPECT_EQ(parallel->code, 0);
        EXPECT_EQ(parallel->text, serial.text);
        ASSERT_EQ(parallel->pieces.size(), serial.pieces.size()) << parallel->text;
        for (size_t i = 0; i < serial.pieces.size(); ++i) {
            EXPECT_EQ(parallel->pieces[i].text, serial.pieces[i].text) << i;
            EXPECT_EQ(parallel->pieces[i].start, serial.pieces[i].start) << i;
            EXPECT_EQ(parallel->pieces[i].end, serial.pieces[i].end) << i;
        }
    }
}

TEST_F(SegmentAttemptTest, ServiceErrorsAndUnreadableReplies)
{
    speech_->AddFault({.fault = Fault::ErrNo(3301)});
    Outcome outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 3301);
    EXPECT_EQ(outcome.message, "speech quality error.");
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(Log().find(TestSupport::LogEntry("CAudioTask::Run", std::string("speech error. key:") + SpeechDouble::kTestApiKey +
                                                              ",code:3301,msg:speech quality error.")),
              std::string::npos);

    speech_->AddFault({.fault = Fault::HtmlPage()});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    EXPECT_EQ(outcome.message, "null\n");
    EXPECT_NE(Log().find(TestSupport::LogEntry("CAudioTask::Run", "speech curl error: null\n")), std::string::npos);

    speech_->AddFault({.fault = Fault::Refuse()});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    EXPECT_EQ(outcome.message.find("{\n\t\"curl_error_code\" : "), 0u) << outcome.message;

    // A code that is not a whole number is no code at all.
    speech_->AddFault({.fault = Fault::Raw(200, "application/json", R"({"err_no":"0","err_msg":"odd","result":["x"]})")});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    speech_->AddFault({.fault = Fault::Raw(200, "application/json", R"({"err_no":0.0,"err_msg":7,"result":[1]})")});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "7");
    EXPECT_EQ(outcome.text, "");
}

TEST_F(SegmentAttemptTest, AnEmptyOrMissingSegmentFileIsNoFileAndNothingIsSent)
{
    WriteFile(dir_ / "empty.pcm", "");
    for (const std::string name : {"empty.pcm", "missing.pcm"}) {
        const Outcome outcome = RunTask(dir_ / name);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.message, "no file");
    }
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(SegmentAttemptTest, HostileRepliesAreBoundedAndCannotForgeLogEntries)
{
    // A text of 15 MiB is cut to the limit, at a character boundary.
    std::string huge;
    while (huge.size() < (15u << 20))
        huge += "\xE9\x9F\xB3";
    speech_->AddFault({.fault = Fault::Text(huge)});
    Outcome outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.text.size(), CloudRecognizer::kMaxTextBytes / 3 * 3);
    EXPECT_EQ(outcome.text, huge.substr(0, outcome.text.size()));
    EXPECT_NE(Log().find("speech text of " + std::to_string(huge.size()) + " bytes cut to " +
                         std::to_string(outcome.text.size())),
              std::string::npos);

    // A message with line breaks stays inside its own entry.
    speech_->AddFault({.fault = Fault::ErrNo(3301, "bad\r\n2026-01-01 00:00:00 [1]" + TestSupport::LogEntryStart("Forged::Entry", "fake\x01"))});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 3301);
    const std::string log = Log();
    EXPECT_EQ(log.find("\r\n2026-01-01"), std::string::npos);
    EXPECT_NE(log.find(",msg:bad\\r\\n2026-01-01 00:00:00 [1]" + TestSupport::LogEntry("Forged::Entry", "fake\\x01")), std::string::npos);

    // Control characters reach neither a terminal nor a C string: ESC, BEL and NUL are written out.
    speech_->AddFault({.fault = Fault::ErrNo(3301, std::string("red\x1b[31m bell\x07 nul\0after", 24))});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.message, "red\\x1b[31m bell\\x07 nul\\x00after");
    EXPECT_NE(Log().find(",msg:red\\x1b[31m bell\\x07 nul\\x00after\r\n"), std::string::npos);

    // A 15 MiB message is cut too: it goes into the log, the failure box and terminal lines.
    speech_->AddFault({.fault = Fault::ErrNo(3301, huge)});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 3301);
    EXPECT_LT(outcome.message.size(), 2100u);
    EXPECT_TRUE(outcome.message.starts_with(huge.substr(0, 2046)));
    EXPECT_TRUE(outcome.message.ends_with(" bytes cut)")) << outcome.message.substr(2000);
}

TEST_F(SegmentAttemptTest, ASilentServerEndsTheAttemptAtTheStallLimitAndTokenFailuresNameTheHost)
{
    // A service that thinks past the stall limit once the request went out whole is waited for.
    SpeechClient client(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
    client.SetStallTimeout(1500);
    speech_->AddFault({.endpoint = Endpoint::Recognition, .fault = Fault::Delay(std::chrono::milliseconds(3000))});
    Json::Value reply = client.RecognizePcm(SpeechDouble::SinePcm(440, 1.0), "pcm", 16000, {{"lan", "ZH"}});
    EXPECT_EQ(reply["err_no"].asInt(), 0) << reply.toStyledString();

    // A token server that says nothing ends the attempt at the stall limit: nothing is posted
    // without a token.
    SpeechClient silent(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
    silent.SetStallTimeout(1500);
    speech_->AddFault({.endpoint = Endpoint::Token, .fault = Fault::Stall()});
    const auto start = std::chrono::steady_clock::now();
    reply = silent.RecognizePcm(std::string(3200, '\0'), "pcm", 16000, {{"lan", "ZH"}});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(reply["curl_error_code"].asInt(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_NE(Log().find(TestSupport::LogEntry("CSpeechClient::FetchToken", "token request to 127.0.0.1 stalled: not one byte moved in 1500 ms")),
              std::string::npos);

    // Refused keys and an unreachable server read differently, and the secret shows in neither.
    SpeechClient refused("unknown-key", "the-secret-value");
    refused.FetchToken();
    EXPECT_NE(Log().find(TestSupport::LogEntry("CSpeechClient::FetchToken", "token request to 127.0.0.1 failed: HTTP status 401, "
                                                                        "no access_token, error: invalid_client")),
              std::string::npos);
    speech_->AddFault({.endpoint = Endpoint::Token, .fault = Fault::Refuse()});
    refused.FetchToken();
    const std::string log = Log();
    EXPECT_NE(log.find(TestSupport::LogEntryStart("CSpeechClient::FetchToken", "token request to 127.0.0.1 failed: curl error ")), std::string::npos);
    EXPECT_EQ(log.find("the-secret-value"), std::string::npos);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 1);
}
