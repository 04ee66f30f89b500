#include "base/net/HttpRequest.h"
#include "base/net/JsonText.h"
#include "engine/SpeechClient.h"
#include "speech_double/SpeechDouble.h"
#include "speech_double/StrictBase64.h"
#include "speech_double/ToneDetector.h"
#include "speech_double/TonePcm.h"
#include "speech_double/ToneRuns.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

Json::Value Parse(const std::string& text)
{
    Json::Value value;
    ParseJson(text, value, nullptr, JsonRules::kTolerant);
    return value;
}

std::string AddNoise(std::string pcm, double level, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, level);
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        int value = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(pcm[i]) |
                                                                (static_cast<unsigned char>(pcm[i + 1]) << 8)));
        value = std::clamp(value + static_cast<int>(std::lround(noise(random))), -32768, 32767);
        const auto bits = static_cast<uint16_t>(static_cast<int16_t>(value));
        pcm[i] = static_cast<char>(bits & 0xFF);
        pcm[i + 1] = static_cast<char>(bits >> 8);
    }
    return pcm;
}

// Posts hand-made recognition bodies, the way a faulty client would.
class DoubleServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech) << error;
        http.SetCaFile(speech->CaFile());
        token = Token(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
        ASSERT_FALSE(token.empty());
    }

    std::string Token(const std::string& id, const std::string& secret, long* status = nullptr)
    {
        const HttpFields params = {{"grant_type", "client_credentials"}, {"client_id", id}, {"client_secret", secret}};
        std::string response;
        EXPECT_EQ(http.Get(speech->TokenUrl(), &params, nullptr, &response), 0);
        if (status != nullptr)
            *status = speech->Requests(Endpoint::Token).back()->status;
        return Parse(response)["access_token"].asString();
    }

    Json::Value Body(const std::string& audio) const
    {
        Json::Value body(Json::objectValue);
        body["channel"] = "1";
        body["cuid"] = "x";
        body["format"] = "pcm";
        body["lan"] = "ZH";
        body["len"] = static_cast<Json::UInt64>(audio.size());
        body["rate"] = "16000";
        body["speech"] = SpeechClient::Base64Encode(audio);
        body["token"] = token;
        return body;
    }

    Json::Value Post(const Json::Value& body)
    {
        std::string response;
        EXPECT_EQ(http.PostJson(speech->SpeechUrl(), nullptr, body, &response), 0);
        return Parse(response);
    }

    int ErrNo(const Json::Value& body) { return Post(body)["err_no"].asInt(); }

    std::unique_ptr<SpeechDouble::Server> speech;
    HttpRequest http;
    std::string token;
    const std::string audio = SpeechDouble::SinePcm(440, 1);
};

std::string Silence(double seconds)
{
    return std::string(2 * static_cast<size_t>(std::lround(seconds * 16000)), '\0');
}

// 440 Hz from 0.3 to 1.01 s, 660 Hz on to 1.547 s, a 50-ms blip too short to count, 880 Hz
// from 2.16 to 2.56 s; the changes fall between frames.
std::string ThreeTones()
{
    return Silence(0.3) + SpeechDouble::SinePcm(440, 0.71) + SpeechDouble::SinePcm(660, 0.537) + Silence(0.253) +
           SpeechDouble::SinePcm(1000, 0.05) + Silence(0.31) + SpeechDouble::SinePcm(880, 0.4) + Silence(0.2);
}

struct ExpectedRun {
    double start;
    double end;
    const char* text;
};
const std::vector<ExpectedRun> kThreeTones = {{0.3, 1.01, "tone 440"}, {1.01, 1.547, "tone 660"}, {2.16, 2.56, "tone 880"}};

void Put(std::string& bytes, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The plain 44-byte header and the samples.
std::string Wav(const std::string& pcm, uint32_t sampleRate = 16000)
{
    std::string wav = "RIFF";
    Put(wav, static_cast<uint32_t>(36 + pcm.size()), 4);
    wav += "WAVEfmt ";
    Put(wav, 16, 4);
    Put(wav, 1, 2);
    Put(wav, 1, 2);
    Put(wav, sampleRate, 4);
    Put(wav, 2 * sampleRate, 4);
    Put(wav, 2, 2);
    Put(wav, 16, 2);
    wav += "data";
    Put(wav, static_cast<uint32_t>(pcm.size()), 4);
    return wav + pcm;
}

// A form's file, from memory.
class StringSource : public HttpBodySource {
public:
    explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    size_t Read(char* buffer, size_t capacity) override
    {
        const size_t count = std::min(capacity, bytes_.size() - offset_);
        std::memcpy(buffer, bytes_.data() + offset_, count);
        offset_ += count;
        return count;
    }
    void Rewind() override { offset_ = 0; }

private:
    std::string bytes_;
    size_t offset_ = 0;
};

// Whisper transcription requests over HTTPS.
class WhisperDoubleTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech) << error;
        client = std::make_unique<httplib::Client>(speech->BaseUrl());
        client->set_ca_cert_path(speech->CaFile());
        client->enable_server_certificate_verification(true);
    }

    httplib::Result Transcribe(const std::string& wav, const httplib::Headers& headers = {})
    {
        return client->Post("/v1/audio/transcriptions", headers,
                            httplib::MultipartFormDataItems{{"file", wav, "audio.wav", "audio/wav"},
                                                            {"model", "whisper-1", "", ""}});
    }

    std::unique_ptr<SpeechDouble::Server> speech;
    std::unique_ptr<httplib::Client> client;
};

}  // namespace

TEST(ToneDetector, NamesTheDominantFrequencyInWholeHertz)
{
    for (const double hz : {55.0, 97.0, 300.0, 440.0, 523.0, 1000.0, 2750.0, 7000.0}) {
        const SpeechDouble::ToneEstimate tone = SpeechDouble::EstimateTone(SpeechDouble::SinePcm(hz, 5));
        EXPECT_NEAR(tone.frequency, hz, 0.1) << hz;
        EXPECT_EQ(SpeechDouble::ToneText(tone), "tone " + std::to_string(static_cast<int>(hz)));
    }
    EXPECT_EQ(SpeechDouble::ToneText(SpeechDouble::EstimateTone(SpeechDouble::SinePcm(440.3, 5))), "tone 440");
    EXPECT_EQ(SpeechDouble::ToneText(SpeechDouble::EstimateTone(SpeechDouble::SinePcm(440.7, 5))), "tone 441");
}

TEST(ToneDetector, CopesWithNoiseShortAudioAndFullSegments)
{
    const std::string noisy = AddNoise(SpeechDouble::SinePcm(660, 10, 3000), 3000, 7);
    EXPECT_EQ(SpeechDouble::ToneText(SpeechDouble::EstimateTone(noisy)), "tone 660");
    // A quiet tone under a louder one is not the dominant frequency.
    std::string mixed = SpeechDouble::SinePcm(880, 4, 6000);
    const std::string quiet = SpeechDouble::SinePcm(300, 4, 1000);
    for (size_t i = 0; i < mixed.size(); i += 2) {
        const auto a = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(mixed[i]) |
                                                                  (static_cast<unsigned char>(mixed[i + 1]) << 8)));
        const auto b = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(quiet[i]) |
                                                                  (static_cast<unsigned char>(quiet[i + 1]) << 8)));
        const auto sum = static_cast<uint16_t>(static_cast<int16_t>(a + b));
        mixed[i] = static_cast<char>(sum & 0xFF);
        mixed[i + 1] = static_cast<char>(sum >> 8);
    }
    EXPECT_EQ(SpeechDouble::ToneText(SpeechDouble::EstimateTone(mixed)), "tone 880");

    EXPECT_EQ(SpeechDouble::ToneText(SpeechDouble::EstimateTone(SpeechDouble::SinePcm(1000, 0.1))), "tone 1000");
    const SpeechDouble::ToneEstimate silence = SpeechDouble::EstimateTone(std::string(32000, '\0'));
    EXPECT_LT(silence.rms, SpeechDouble::kSilenceRms);
    EXPECT_EQ(SpeechDouble::EstimateTone("").samples, 0u);
    EXPECT_EQ(SpeechDouble::EstimateTone("x").samples, 0u);

    // A segment that starts with a little of the previous tone still reads as its own.
    std::string segment = SpeechDouble::SinePcm(550, 0.05) + SpeechDouble::SinePcm(770, 120);
    segment.resize(3840000);
    const SpeechDouble::ToneEstimate tone = SpeechDouble::EstimateTone(segment);
    EXPECT_EQ(SpeechDouble::ToneText(tone), "tone 770");
    EXPECT_NEAR(tone.rms, 8000 / std::sqrt(2.0), 50);
}

TEST(ToneRuns, FindEachToneFromItsStartToItsEnd)
{
    const std::vector<SpeechDouble::ToneRun> runs = SpeechDouble::FindToneRuns(ThreeTones());
    ASSERT_EQ(runs.size(), kThreeTones.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_NEAR(runs[i].start, kThreeTones[i].start, 0.02) << i;
        EXPECT_NEAR(runs[i].end, kThreeTones[i].end, 0.02) << i;
        EXPECT_EQ(runs[i].text, kThreeTones[i].text);
    }
    EXPECT_NEAR(runs[1].frequency, 660, 1);
    EXPECT_TRUE(SpeechDouble::FindToneRuns(Silence(2)).empty());
}

TEST(StrictBase64, RejectsWhatARealServiceWouldRefuse)
{
    std::string bytes;
    EXPECT_TRUE(SpeechDouble::DecodeBase64Strict("", bytes));
    EXPECT_TRUE(SpeechDouble::DecodeBase64Strict("Zm9vYg==", bytes));
    EXPECT_EQ(bytes, "foob");
    for (const char* bad : {"Zm9", "Zm9vY===", "Zm=v", "Zm9v\nYmFy", "Zm9v YmFy", "Zm-_", "Zh==", "Zm9=", "====",
                            "Zg==Zg=="}) {
        EXPECT_FALSE(SpeechDouble::DecodeBase64Strict(bad, bytes)) << bad;
    }
}

TEST_F(DoubleServiceTest, TokenEndpointChecksItsThreeParameters)
{
    long status = 0;
    EXPECT_TRUE(Token("someone", "secret", &status).empty());
    EXPECT_EQ(status, 401);
    EXPECT_TRUE(Token(SpeechDouble::kTestApiKey, "wrong", &status).empty());
    EXPECT_EQ(status, 401);

    std::string response;
    const HttpFields password = {{"grant_type", "password"},
                                 {"client_id", SpeechDouble::kTestApiKey},
                                 {"client_secret", SpeechDouble::kTestSecretKey}};
    EXPECT_EQ(http.Get(speech->TokenUrl(), &password, nullptr, &response), 0);
    EXPECT_EQ(Parse(response)["error"], "unsupported_grant_type");

    speech->AddCredential("someone", "secret");
    EXPECT_FALSE(Token("someone", "secret", &status).empty());
    EXPECT_EQ(status, 200);
}

TEST_F(DoubleServiceTest, TokenRepliesCarryTokenLifetimeAndScope)
{
    speech->SetTokenLifetime(3600);
    std::string response;
    const HttpFields params = {{"grant_type", "client_credentials"},
                               {"client_id", SpeechDouble::kTestApiKey},
                               {"client_secret", SpeechDouble::kTestSecretKey}};
    EXPECT_EQ(http.Get(speech->TokenUrl(), &params, nullptr, &response), 0);
    const Json::Value reply = Parse(response);
    EXPECT_TRUE(reply["access_token"].isString());
    EXPECT_EQ(reply["expires_in"], 3600);
    EXPECT_TRUE(reply["scope"].isString());
}

TEST_F(DoubleServiceTest, AWellFormedRequestIsRecognised)
{
    const Json::Value reply = Post(Body(audio));
    EXPECT_EQ(reply["err_no"], 0);
    EXPECT_EQ(reply["err_msg"], "success.");
    ASSERT_TRUE(reply["result"].isArray());
    EXPECT_EQ(reply["result"].size(), 1u);
    EXPECT_EQ(reply["result"][0], "tone 440");
    EXPECT_TRUE(reply["sn"].isString());
    EXPECT_TRUE(reply["corpus_no"].isString());
}

TEST_F(DoubleServiceTest, MalformedRequestsGet3300)
{
    std::string response;
    const std::string text = WriteJsonText(Body(audio));
    EXPECT_EQ(http.Post(speech->SpeechUrl(), nullptr, text, nullptr, &response), 0);  // form content type
    EXPECT_EQ(Parse(response)["err_no"], 3300);
    EXPECT_EQ(Parse(response)["err_msg"], "param format and content length invalid.");

    const HttpFields json = {{"Content-Type", "application/json"}};
    for (const std::string& body : {std::string("not json"), std::string("[]"), text + "x", std::string()}) {
        response.clear();
        EXPECT_EQ(http.Post(speech->SpeechUrl(), nullptr, body, &json, &response), 0);
        EXPECT_EQ(Parse(response)["err_no"], 3300) << body.substr(0, 20);
    }

    for (const char* name : {"channel", "cuid", "format", "lan", "len", "rate", "speech", "token"}) {
        Json::Value body = Body(audio);
        body.removeMember(name);
        EXPECT_EQ(ErrNo(body), 3300) << name;
    }
    Json::Value body = Body(audio);
    body["len"] = "32000";
    EXPECT_EQ(ErrNo(body), 3300);
    body["len"] = 32000.0;
    EXPECT_EQ(ErrNo(body), 3300);
    body = Body(audio);
    body["rate"] = 16000;
    EXPECT_EQ(ErrNo(body), 3300);
    body = Body(audio);
    body["len"] = 31998;
    EXPECT_EQ(ErrNo(body), 3300);
    body = Body(audio);
    body["speech"] = body["speech"].asString().substr(1);
    EXPECT_EQ(ErrNo(body), 3300);
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"format", "wav"}, {"rate", "8000"}, {"channel", "2"}}) {
        body = Body(audio);
        body[name] = value;
        EXPECT_EQ(ErrNo(body), 3300) << name;
    }
}

TEST_F(DoubleServiceTest, TokensLengthsAndSilenceHaveTheirOwnCodes)
{
    Json::Value body = Body(audio);
    body["token"] = "24.not-issued";
    EXPECT_EQ(ErrNo(body), 3302);
    EXPECT_EQ(ErrNo(Body("")), 3314);
    EXPECT_EQ(ErrNo(Body("abc")), 3314);
    EXPECT_EQ(ErrNo(Body(std::string(32000, '\0'))), 3301);
    const Json::Value silent = Post(Body(std::string(32000, '\0')));
    EXPECT_EQ(silent["err_msg"], "speech quality error.");

    speech->ExpireTokens();
    EXPECT_EQ(ErrNo(Body(audio)), 3302);
}

TEST(SpeechDoubleLimits, AudioAboveTheLimitIsTooLong)
{
    SpeechDouble::Options options;
    options.maxAudioBytes = 64000;
    options.https = false;
    auto speech = SpeechDouble::Server::Start(options);
    ASSERT_TRUE(speech);
    speech->ExportEnvironment();
    SpeechClient client(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
    const Json::Value tooLong = client.RecognizePcm(SpeechDouble::SinePcm(440, 2.5), "pcm", 16000, {{"lan", "ZH"}});
    EXPECT_EQ(tooLong["err_no"], 3310);
    EXPECT_EQ(tooLong["err_msg"], "content len too long.");
    const Json::Value fits = client.RecognizePcm(SpeechDouble::SinePcm(440, 2), "pcm", 16000, {{"lan", "ZH"}});
    EXPECT_EQ(fits["err_no"], 0);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 1);
}

TEST_F(DoubleServiceTest, FaultsFollowTheirScheduleByNumberContentAndSelector)
{
    speech->AddFault({.requestNumber = 2, .fault = Fault::ErrNo(3303)});
    speech->AddFault({.text = "tone 550", .times = 2, .fault = Fault::ErrNo(3307, "recognition error.")});
    speech->SetFaultSelector([](const SpeechDouble::RequestInfo& info) {
        return info.text == "tone 660" && info.textOccurrence == 1 ? Fault::ServerError(3303) : Fault::Normal();
    });
    const std::string tone550 = SpeechDouble::SinePcm(550, 1);
    const std::string tone660 = SpeechDouble::SinePcm(660, 1);
    EXPECT_EQ(ErrNo(Body(audio)), 0);      // 1
    EXPECT_EQ(ErrNo(Body(audio)), 3303);   // 2: by number
    EXPECT_EQ(ErrNo(Body(tone550)), 3307); // 3: by content, first hit
    EXPECT_EQ(Post(Body(tone550))["err_msg"], "recognition error.");
    EXPECT_EQ(ErrNo(Body(tone550)), 0);    // 5: the rule is used up
    EXPECT_EQ(ErrNo(Body(tone660)), 3303); // 6: the selector, first occurrence
    EXPECT_EQ(ErrNo(Body(tone660)), 0);    // 7
    const auto requests = speech->Requests(Endpoint::Recognition);
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[1]->fault, SpeechDouble::FaultKind::ErrNo);
    EXPECT_EQ(requests[5]->fault, SpeechDouble::FaultKind::ServerError);
    EXPECT_EQ(requests[5]->status, 500);
    EXPECT_EQ(requests[6]->errNo, 0);
    EXPECT_EQ(requests[2]->text, "tone 550");

    speech->ClearFaults();
    speech->SetDefaultFault(Endpoint::Recognition, Fault::MissingErrNo());
    EXPECT_FALSE(Post(Body(audio)).isMember("err_no"));
    EXPECT_EQ(speech->Requests(Endpoint::Recognition).back()->errNo, -1);

    speech->ClearRequests();
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 0);
    EXPECT_TRUE(speech->Requests().empty());
    Post(Body(audio));
    EXPECT_EQ(speech->Requests(Endpoint::Recognition).at(0)->number, 1);
}

TEST_F(DoubleServiceTest, LatencyDelaysTheReplyButNotTheBusyTime)
{
    speech->SetLatency(std::chrono::milliseconds(150));
    speech->AddFault({.fault = Fault::Delay(std::chrono::milliseconds(100))});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrNo(Body(audio)), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250));
    EXPECT_LT(speech->Requests(Endpoint::Recognition).at(0)->busyMilliseconds, 250);
    EXPECT_GT(speech->BusyMilliseconds(), 0);
}

TEST_F(DoubleServiceTest, ConcurrentRequestsAreCountedAtTheirPeak)
{
    // Hold every request until three are in, so that all three overlap for certain.
    std::mutex mutex;
    std::condition_variable arrived;
    int inside = 0;
    speech->SetFaultSelector([&](const SpeechDouble::RequestInfo&) {
        std::unique_lock lock(mutex);
        ++inside;
        arrived.notify_all();
        arrived.wait_for(lock, std::chrono::seconds(20), [&] { return inside >= 3; });
        return Fault::Normal();
    });
    std::vector<std::thread> threads;
    std::vector<int> codes(3, -2);
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            HttpRequest own;
            own.SetCaFile(speech->CaFile());
            std::string response;
            own.PostJson(speech->SpeechUrl(), nullptr, Body(audio), &response);
            codes[i] = Parse(response)["err_no"].asInt();
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(codes, std::vector<int>(3, 0));
    EXPECT_EQ(speech->PeakConcurrency(Endpoint::Recognition), 3);
}

TEST_F(WhisperDoubleTest, VerboseJsonGivesASegmentPerToneToTheProgramsClient)
{
    const std::string pcm = ThreeTones();
    const std::string wav = Wav(pcm);
    StringSource file(wav);
    const HttpForm form = {HttpFormPart::File("file", file, "three tones.wav", "audio/wav"),
                           HttpFormPart::Text("model", "whisper-1"), HttpFormPart::Text("language", "en"),
                           HttpFormPart::Text("response_format", "verbose_json"),
                           HttpFormPart::Text("timestamp_granularities[]", "segment")};
    HttpRequest http;
    http.SetCaFile(speech->CaFile());
    std::string response;
    ASSERT_EQ(http.PostForm(speech->TranscriptionUrl(), form, nullptr, &response), 0) << http.ErrorText();
    EXPECT_EQ(http.LastStatus(), 200) << response;

    const Json::Value reply = Parse(response);
    EXPECT_EQ(reply["task"], "transcribe");
    EXPECT_EQ(reply["language"], "en");
    EXPECT_NEAR(reply["duration"].asDouble(), static_cast<double>(pcm.size()) / 32000, 0.001);
    EXPECT_EQ(reply["text"], "tone 440 tone 660 tone 880");
    const Json::Value& segments = reply["segments"];
    ASSERT_EQ(segments.size(), kThreeTones.size()) << response;
    for (Json::ArrayIndex i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i]["id"].asUInt(), i);
        EXPECT_NEAR(segments[i]["start"].asDouble(), kThreeTones[i].start, 0.02) << i;
        EXPECT_NEAR(segments[i]["end"].asDouble(), kThreeTones[i].end, 0.02) << i;
        EXPECT_EQ(segments[i]["text"], std::string(" ") + kThreeTones[i].text);
    }

    const auto requests = speech->Requests(Endpoint::Transcription);
    ASSERT_EQ(requests.size(), 1u);
    const SpeechDouble::RecordedRequest& request = *requests[0];
    EXPECT_EQ(request.status, 200);
    EXPECT_EQ(request.fileName, "three tones.wav");
    EXPECT_EQ(request.wavSampleRate, 16000);
    EXPECT_EQ(request.audioBytes, pcm.size());
    EXPECT_EQ(request.text, "tone 440 tone 660 tone 880");
    EXPECT_EQ(request.form, (std::multimap<std::string, std::string>{{"language", "en"},
                                                                      {"model", "whisper-1"},
                                                                      {"response_format", "verbose_json"},
                                                                      {"timestamp_granularities[]", "segment"}}));
    // The file travels byte for byte inside the form.
    EXPECT_NE(request.body.find("filename=\"three tones.wav\"\r\nContent-Type: audio/wav\r\n\r\n" + wav + "\r\n--"),
              std::string::npos);
}

TEST_F(WhisperDoubleTest, AWrongWavHeaderIs400AndAMissingKey401)
{
    speech->SetWhisperApiKey("sk-double");
    const httplib::Headers key = {{"Authorization", "Bearer sk-double"}};
    const std::string pcm = SpeechDouble::SinePcm(440, 1);

    const httplib::Result wrongRate = Transcribe(Wav(pcm, 8000), key);
    ASSERT_TRUE(wrongRate) << httplib::to_string(wrongRate.error());
    EXPECT_EQ(wrongRate->status, 400);
    const Json::Value refused = Parse(wrongRate->body)["error"];
    EXPECT_EQ(refused["type"], "invalid_request_error");
    EXPECT_NE(refused["message"].asString().find("sample rate is 8000"), std::string::npos) << wrongRate->body;
    EXPECT_EQ(speech->Requests(Endpoint::Transcription).at(0)->wavSampleRate, 8000);

    for (const httplib::Headers& wrong : {httplib::Headers{}, httplib::Headers{{"Authorization", "Bearer sk-other"}}}) {
        const httplib::Result unauthorized = Transcribe(Wav(pcm), wrong);
        ASSERT_TRUE(unauthorized);
        EXPECT_EQ(unauthorized->status, 401);
        EXPECT_EQ(Parse(unauthorized->body)["error"]["code"], "invalid_api_key") << unauthorized->body;
    }

    const httplib::Result accepted = Transcribe(Wav(pcm), key);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->status, 200);
    EXPECT_EQ(accepted->body, R"({"text":"tone 440"})");
}

TEST_F(WhisperDoubleTest, FaultsPickTranscriptionsByNumberAndText)
{
    speech->AddFault({.endpoint = Endpoint::Transcription, .requestNumber = 1,
                      .fault = Fault::HttpError(429, "Rate limit reached for requests.", 7)});
    speech->AddFault({.endpoint = Endpoint::Transcription, .text = "tone 550", .fault = Fault::Oversized(1 << 20)});
    const std::string tone440 = Wav(SpeechDouble::SinePcm(440, 1));

    const httplib::Result limited = Transcribe(tone440);
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->status, 429);
    EXPECT_EQ(limited->get_header_value("Retry-After"), "7");
    EXPECT_EQ(Parse(limited->body)["error"]["message"], "Rate limit reached for requests.");

    const httplib::Result oversized = Transcribe(Wav(SpeechDouble::SinePcm(550, 1)));
    ASSERT_TRUE(oversized);
    EXPECT_EQ(oversized->status, 200);
    EXPECT_EQ(Parse(oversized->body)["text"].asString().size(), 1u << 20);

    const httplib::Result normal = Transcribe(tone440);
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->status, 200);
    EXPECT_FALSE(normal->has_header("Retry-After"));
    const auto requests = speech->Requests(Endpoint::Transcription);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0]->fault, SpeechDouble::FaultKind::HttpError);
    EXPECT_EQ(requests[1]->fault, SpeechDouble::FaultKind::Oversized);
    EXPECT_EQ(requests[2]->fault, SpeechDouble::FaultKind::None);
}

TEST(SpeechDoubleLifetime, StoppingEndsAStalledRequestAndRemovesItsFolder)
{
    auto speech = SpeechDouble::Server::Start();
    ASSERT_TRUE(speech);
    const std::string caFile = speech->CaFile();
    EXPECT_EQ(access(caFile.c_str(), R_OK), 0);
    speech->SetDefaultFault(Endpoint::Token, Fault::Stall());
    int32_t code = -1;
    std::thread client([&] {
        HttpRequest http;
        http.SetCaFile(caFile);
        http.SetTimeout(60000);
        std::string response;
        code = http.Get(speech->TokenUrl(), nullptr, nullptr, &response);
    });
    ASSERT_TRUE(speech->WaitForArrivals(Endpoint::Token, 1));
    const auto started = std::chrono::steady_clock::now();
    speech->Stop();
    client.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_NE(code, 0);
    EXPECT_NE(access(caFile.c_str(), F_OK), 0);
    speech->Stop();  // a second time does nothing
}

TEST(SpeechDoubleLifetime, EnvironmentNamesTheEndpoints)
{
    SpeechDouble::Options options;
    options.https = false;
    auto plain = SpeechDouble::Server::Start(options);
    ASSERT_TRUE(plain);
    const auto environment = plain->Environment();
    EXPECT_EQ(environment.at("TALVORA_TOKEN_URL"), "http://127.0.0.1:" + std::to_string(plain->Port()) + "/oauth/2.0/token");
    EXPECT_EQ(environment.at("TALVORA_SPEECH_URL"), plain->BaseUrl() + "/server_api");
    EXPECT_EQ(environment.at("TALVORA_CA_FILE"), "");

    auto secure = SpeechDouble::Server::Start();
    ASSERT_TRUE(secure);
    EXPECT_EQ(secure->BaseUrl().rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_FALSE(secure->CaFile().empty());
    EXPECT_NE(plain->Port(), secure->Port());
}

TEST(SpeechDoubleProgram, RunsOnItsOwnUntilTerminated)
{
    TestSupport::Child child({TALVORA_SPEECH_DOUBLE, "--quiet", "--whisper-key", "sk-double", "--fault",
                              "transcription:1:http:503:2"});
    ASSERT_TRUE(child.Started());

    // Read until the environment lines are in.
    child.ReadUntil(
        [](const std::string& output) {
            return output.find("TALVORA_TOKEN_URL=") != std::string::npos &&
                   output.find("accepted credential") != std::string::npos;
        },
        std::chrono::seconds(30));
    const std::string output = child.Output();
    auto value = [&](const std::string& name) {
        const size_t start = output.find("export " + name + "=");
        if (start == std::string::npos)
            return std::string();
        const size_t from = start + 8 + name.size();
        return output.substr(from, output.find('\n', from) - from);
    };
    const std::string tokenUrl = value("TALVORA_TOKEN_URL");
    const std::string caFile = value("TALVORA_CA_FILE");
    EXPECT_EQ(tokenUrl.rfind("https://127.0.0.1:", 0), 0u) << output;

    HttpRequest http;
    http.SetCaFile(caFile);
    const HttpFields params = {{"grant_type", "client_credentials"},
                               {"client_id", SpeechDouble::kTestApiKey},
                               {"client_secret", SpeechDouble::kTestSecretKey}};
    std::string response;
    EXPECT_EQ(http.Get(tokenUrl, &params, nullptr, &response), 0);
    EXPECT_TRUE(Parse(response)["access_token"].isString()) << response;

    const std::string whisperUrl = value("TALVORA_WHISPER_URL");
    const std::string base = tokenUrl.substr(0, tokenUrl.find("/oauth/"));
    ASSERT_EQ(whisperUrl, base + "/v1/audio/transcriptions");
    httplib::Client whisper(base);
    whisper.set_ca_cert_path(caFile);
    whisper.enable_server_certificate_verification(true);
    const httplib::Result busy = whisper.Post(
        "/v1/audio/transcriptions", {{"Authorization", "Bearer sk-double"}},
        httplib::MultipartFormDataItems{{"file", Wav(SpeechDouble::SinePcm(440, 1)), "a.wav", ""}, {"model", "m", "", ""}});
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->status, 503);
    EXPECT_EQ(busy->get_header_value("Retry-After"), "2");

    child.Signal(SIGTERM);
    const TestSupport::ChildResult result = child.Finish(std::chrono::seconds(30));
    EXPECT_TRUE(result.exitCode == 0) << result.exitCode << " " << result.signal;
    EXPECT_NE(access(caFile.c_str(), F_OK), 0);
}
