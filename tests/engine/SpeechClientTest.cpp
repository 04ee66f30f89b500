#include "engine/Base64JsonBody.h"
#include "engine/SpeechClient.h"
#include "base/net/JsonText.h"
#include "speech_double/SpeechDouble.h"
#include "speech_double/StrictBase64.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/TonePcm.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/writer.h>

#include <cstdlib>
#include <random>
#include <thread>

using SpeechDouble::Endpoint;
using SpeechDouble::Fault;
using SpeechDouble::FaultRule;

namespace {

const std::map<std::string, std::string> kOptions = {{"lan", "ZH"}};

Json::Value Parse(const std::string& text)
{
    Json::Value value;
    EXPECT_TRUE(ParseJson(text, value)) << text;
    return value;
}

// Each test process talks to its own double over HTTPS, found through the environment exactly
// as the program finds a self-hosted service.
class SpeechClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech) << error;
        speech->ExportEnvironment();
    }

    std::unique_ptr<SpeechClient> Client() const
    {
        auto client = std::make_unique<SpeechClient>(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
        client->SetConnectTimeout(60000);
        client->SetRequestTimeout(600000);
        return client;
    }

    std::unique_ptr<SpeechDouble::Server> speech;
};

}  // namespace

TEST(Base64Encode, PaddingOfOneTwoAndThreeBytes)
{
    EXPECT_EQ(SpeechClient::Base64Encode(""), "");
    EXPECT_EQ(SpeechClient::Base64Encode("f"), "Zg==");
    EXPECT_EQ(SpeechClient::Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(SpeechClient::Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(SpeechClient::Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(SpeechClient::Base64Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
    EXPECT_EQ(SpeechClient::Base64Encode(std::string("\0", 1)), "AA==");
}

TEST(Base64Encode, AFullSegmentDecodesBackWithAnIndependentDecoder)
{
    std::mt19937 random(12345);
    std::string audio(3840000, '\0');
    for (char& byte : audio)
        byte = static_cast<char>(random());
    const std::string text = SpeechClient::Base64Encode(audio);
    EXPECT_EQ(text.size(), 5120000u);
    EXPECT_EQ(text.find_first_of("\r\n="), std::string::npos);
    std::string decoded;
    ASSERT_TRUE(SpeechDouble::DecodeBase64Strict(text, decoded));
    EXPECT_EQ(decoded, audio);

    for (size_t length = 0; length < 300; ++length) {
        const std::string part = audio.substr(0, length);
        ASSERT_TRUE(SpeechDouble::DecodeBase64Strict(SpeechClient::Base64Encode(part), decoded)) << length;
        EXPECT_EQ(decoded, part) << length;
    }
}

TEST(Base64Encode, AStreamedBodyIsTheWholeTextInAnyPieces)
{
    std::mt19937 random(7);
    std::string audio(3 * 48 * 1024 + 2, '\0');
    for (char& byte : audio)
        byte = static_cast<char>(random());
    for (const size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{48 * 1024}, audio.size()}) {
        const std::string_view bytes(audio.data(), length);
        Base64JsonBody body("{\"speech\" : \"", bytes, "\",\n\t\"token\" : \"x\"\n}");
        const std::string whole = "{\"speech\" : \"" + SpeechClient::Base64Encode(bytes) + "\",\n\t\"token\" : \"x\"\n}";
        ASSERT_EQ(body.Size(), whole.size());
        for (const size_t piece : {size_t{7}, size_t{16384}}) {
            body.Rewind();
            std::string read;
            char buffer[16384];
            while (const size_t n = body.Read(buffer, piece))
                read.append(buffer, n);
            EXPECT_EQ(read, whole) << length << " in pieces of " << piece;
        }
    }
}

TEST(StyledJsonText, DefaultWriterOutputAndANewline)
{
    EXPECT_EQ(StyledJsonText(SpeechClient::TransportFailure(7)), "{\n\t\"curl_error_code\" : 7\n}\n");
    Json::Value nested(Json::objectValue);
    nested["b"]["c"] = "\xE4\xB8\xAD";
    nested["a"] = Json::Value(Json::arrayValue);
    EXPECT_EQ(StyledJsonText(nested), "{\n\t\"a\" : [],\n\t\"b\" : \n\t{\n\t\t\"c\" : \"\\u4e2d\"\n\t}\n}\n");
}

TEST(WriteJsonText, IsJsonCppsDefaultWriterOutputByteForByte)
{
    const Json::StreamWriterBuilder builder;
    const std::string base64 = SpeechClient::Base64Encode(SpeechDouble::SinePcm(440, 1));
    std::vector<Json::Value> values;
    Json::Value request(Json::objectValue);
    request["channel"] = "1";
    request["len"] = 32000;
    request["speech"] = base64;
    request["token"] = "{\n\t\"curl_error_code\" : 7\n}\n";
    values.push_back(request);
    request["zz"] = base64 + "\n\"\xE4\xB8\xAD";  // long, but needs escaping
    request["aa"] = std::string(5000, '\x7F');      // long, with the bytes a stand-in would use
    values.push_back(request);
    request.removeMember("aa");
    request["ab"] = "\x7F" "0\x7F";                // short, looking like a stand-in
    values.push_back(request);
    values.push_back(Json::Value(base64));
    Json::Value array(Json::arrayValue);
    array.append(base64);
    values.push_back(array);
    values.push_back(Json::Value());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(WriteJsonText(values[i]), Json::writeString(builder, values[i])) << i;
}

TEST_F(SpeechClientTest, OneAttemptIsOneTokenRequestAndOneRecognitionRequest)
{
    auto client = Client();
    EXPECT_EQ(client->GetApiKey(), SpeechDouble::kTestApiKey);
    const std::string audio = SpeechDouble::SinePcm(440, 2);
    const Json::Value reply = client->RecognizePcm(audio, "pcm", 16000, kOptions);
    ASSERT_TRUE(reply.isObject()) << StyledJsonText(reply);
    EXPECT_EQ(reply["err_no"], 0);
    EXPECT_EQ(reply["err_msg"], "success.");
    EXPECT_EQ(reply["result"][0], "tone 440");
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 1);
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 1);
    const auto requests = speech->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]->endpoint, Endpoint::Token);
    EXPECT_EQ(requests[0]->target, "/oauth/2.0/token?client_id=double-api-key&client_secret=double-secret-key"
                                   "&grant_type=client_credentials&");
    EXPECT_EQ(requests[1]->endpoint, Endpoint::Recognition);
}

TEST_F(SpeechClientTest, TheRequestBodyHasExactlyTheEightMembersInOrder)
{
    auto client = Client();
    const std::string audio = SpeechDouble::SinePcm(523, 1.5);
    client->RecognizePcm(audio, "pcm", 16000, kOptions);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Recognition, 1));
    const auto request = speech->Requests(Endpoint::Recognition).at(0);
    const Json::Value body = Parse(request->body);
    EXPECT_EQ(body.getMemberNames(),
              (std::vector<std::string>{"channel", "cuid", "format", "lan", "len", "rate", "speech", "token"}));
    EXPECT_TRUE(body["len"].type() == Json::intValue || body["len"].type() == Json::uintValue);
    EXPECT_EQ(body["len"].asUInt64(), audio.size());
    for (const char* name : {"channel", "cuid", "format", "lan", "rate", "speech", "token"})
        EXPECT_TRUE(body[name].isString()) << name;
    EXPECT_EQ(body["channel"], "1");
    EXPECT_EQ(body["rate"], "16000");
    EXPECT_EQ(body["format"], "pcm");
    EXPECT_EQ(body["lan"], "ZH");
    EXPECT_EQ(body["cuid"], SpeechDouble::kTestApiKey);
    EXPECT_EQ(body["speech"], SpeechClient::Base64Encode(audio));
    EXPECT_EQ(body["token"].asString().rfind("24.double.", 0), 0u);
    // JsonCpp's default writer: one member per line, tab indentation, no trailing newline.
    const std::string& text = request->body;
    EXPECT_EQ(text.rfind("{\n\t\"channel\" : \"1\",\n\t\"cuid\" : \"double-api-key\",\n\t\"format\" : \"pcm\",\n"
                         "\t\"lan\" : \"ZH\",\n\t\"len\" : 48000,\n\t\"rate\" : \"16000\",\n\t\"speech\" : \"",
                         0),
              0u);
    EXPECT_EQ(text.substr(text.size() - 3), "\"\n}");
    EXPECT_EQ(text, WriteJsonText(body));
    EXPECT_EQ(request->text, "tone 523");
    EXPECT_EQ(request->errNo, 0);
}

TEST_F(SpeechClientTest, OptionsBecomeStringMembersAndFixedMembersWin)
{
    auto client = Client();
    const std::map<std::string, std::string> options = {
        {"lan", "ZH"}, {"dev_pid", "1537"}, {"format", "wav"}, {"len", "1"}};
    const Json::Value reply = client->RecognizePcm(SpeechDouble::SinePcm(300, 1), "pcm", 16000, options);
    EXPECT_EQ(reply["result"][0], "tone 300");
    const Json::Value body = Parse(speech->Requests(Endpoint::Recognition).at(0)->body);
    EXPECT_EQ(body.size(), 9u);
    EXPECT_EQ(body["dev_pid"], "1537");
    EXPECT_EQ(body["format"], "pcm");
    EXPECT_EQ(body["len"], 32000);
}

TEST_F(SpeechClientTest, AFullTwoMinuteSegmentIsRecognisedWithoutALengthLimit)
{
    auto client = Client();
    const std::string segment = SpeechDouble::SinePcm(1000, 120);
    ASSERT_EQ(segment.size(), 3840000u);
    const Json::Value reply = client->RecognizePcm(segment, "pcm", 16000, kOptions);
    EXPECT_EQ(reply["err_no"], 0) << StyledJsonText(reply);
    EXPECT_EQ(reply["result"][0], "tone 1000");
    const auto request = speech->Requests(Endpoint::Recognition).at(0);
    EXPECT_EQ(request->audioBytes, 3840000u);
    EXPECT_EQ(Parse(request->body)["speech"].asString().size(), 5120000u);
}

TEST_F(SpeechClientTest, ATokenWithMoreThanADayLeftIsReused)
{
    auto client = Client();
    const std::string first = client->FetchToken();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(client->FetchToken(), first);
    client->RecognizePcm(SpeechDouble::SinePcm(440, 1), "pcm", 16000, kOptions);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 1);
    EXPECT_EQ(Parse(speech->Requests(Endpoint::Recognition).at(0)->body)["token"], first);

    // A new client (a new attempt) starts without a token.
    Client()->FetchToken();
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 2);
}

TEST_F(SpeechClientTest, ATokenWithADayOrLessLeftIsFetchedAgain)
{
    speech->SetTokenLifetime(86400);
    auto client = Client();
    const std::string first = client->FetchToken();
    const std::string second = client->FetchToken();
    EXPECT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 2);
}

TEST_F(SpeechClientTest, AFailedTokenFetchEndsTheAttemptWithoutARequestAndIsTriedAgain)
{
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 1, .fault = Fault::Refuse()});
    auto client = Client();
    const Json::Value reply = client->RecognizePcm(SpeechDouble::SinePcm(440, 1), "pcm", 16000, kOptions);
    // The transport failure is the attempt's outcome; the worker retries the segment.
    EXPECT_EQ(reply.getMemberNames(), std::vector<std::string>{"curl_error_code"});
    EXPECT_NE(reply["curl_error_code"].asInt(), 0);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 1);
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 0);

    // Nothing was cached: the next call asks again, and this time gets a token.
    const std::string token = client->FetchToken();
    EXPECT_EQ(token.rfind("24.double.", 0), 0u);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 2);
}

TEST_F(SpeechClientTest, AFailedFetchKeepsTheTokenCachedBefore)
{
    speech->SetTokenLifetime(86400);  // due again at once
    auto client = Client();
    const std::string first = client->FetchToken();
    speech->SetDefaultFault(Endpoint::Token, Fault::Stall());
    client->SetRequestTimeout(300);
    const std::string failed = client->FetchToken();
    EXPECT_EQ(failed, "{\n\t\"curl_error_code\" : 28\n}\n");
    speech->ClearFaults();
    speech->SetTokenLifetime(2592000);
    client->SetRequestTimeout(600000);
    EXPECT_NE(client->FetchToken(), first);
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 3);
}

TEST_F(SpeechClientTest, UnknownCredentialsAreRefusedWithoutARecognitionRequest)
{
    SpeechClient client("nobody", "nothing");
    EXPECT_EQ(client.FetchToken(), "");
    const Json::Value reply = client.RecognizePcm(SpeechDouble::SinePcm(440, 1), "pcm", 16000, kOptions);
    EXPECT_EQ(reply["token_refused"], 401);
    EXPECT_EQ(reply["error"], "invalid_client");
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 2);  // an empty token is never cached
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(SpeechClientTest, OddTokenRepliesNeverThrow)
{
    const std::vector<std::string> replies = {
        "",
        "not json",
        "[1,2,3]",
        "\"text\"",
        "{\"access_token\":42,\"expires_in\":\"2592000\",\"scope\":[]}",
        "{\"access_token\":{\"a\":1},\"expires_in\":1.5e300}",
        "{\"access_token\":\"t\",\"expires_in\":-99999999999999}",
        std::string(5000, '[') + std::string(5000, ']'),
    };
    for (size_t i = 0; i < replies.size(); ++i)
        speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = static_cast<int>(i + 1),
                          .fault = Fault::Raw(200, "application/json", replies[i])});
    auto client = Client();
    for (size_t i = 0; i < replies.size(); ++i) {
        const std::string token = client->FetchToken();
        EXPECT_TRUE(token.empty() || token == "t") << i << ": " << token;
    }
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), static_cast<int>(replies.size()));

    // A huge lifetime is capped instead of overflowing, and the token is reused.
    speech->AddFault({.endpoint = Endpoint::Token,
                      .fault = Fault::Raw(200, "application/json",
                                          "{\"access_token\":\"long\",\"expires_in\":9223372036854775807}")});
    EXPECT_EQ(client->FetchToken(), "long");
    EXPECT_EQ(client->FetchToken(), "long");
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), static_cast<int>(replies.size()) + 1);
}

TEST_F(SpeechClientTest, RepliesOfAnyShapeComeBackAsValues)
{
    struct Case {
        Fault fault;
        std::function<void(const Json::Value&)> check;
    };
    const auto isNull = [](const Json::Value& reply) { EXPECT_TRUE(reply.isNull()) << StyledJsonText(reply); };
    const auto transportFailure = [](int code) {
        return [code](const Json::Value& reply) {
            EXPECT_EQ(reply.getMemberNames(), std::vector<std::string>{"curl_error_code"});
            if (code != 0)
                EXPECT_EQ(reply["curl_error_code"], code);
            else
                EXPECT_NE(reply["curl_error_code"].asInt(), 0);
        };
    };
    const std::vector<Case> cases = {
        {Fault::ServerError(3303), [](const Json::Value& r) { EXPECT_EQ(r["err_no"], 3303); }},
        {Fault::ErrNo(3301), [](const Json::Value& r) { EXPECT_EQ(r["err_msg"], "speech quality error."); }},
        {Fault::HtmlPage(), isNull},
        {Fault::TruncatedBody(), isNull},
        {Fault::CutConnection(), transportFailure(CURLE_PARTIAL_FILE)},
        {Fault::Refuse(), transportFailure(0)},
        {Fault::MissingErrNo(),
         [](const Json::Value& r) {
             EXPECT_FALSE(r.isMember("err_no"));
             EXPECT_EQ(r["result"][0], "tone 440");
         }},
        {Fault::Text("\xE4\xBD\xA0\xE5\xA5\xBD"), [](const Json::Value& r) { EXPECT_EQ(r["result"][0], "\xE4\xBD\xA0\xE5\xA5\xBD"); }},
        {Fault::Raw(200, "application/json", ""), isNull},
        {Fault::Raw(200, "application/octet-stream", std::string("\0\x01\xff\xfe", 4)), isNull},
        {Fault::Raw(200, "application/json", "{\"err_no\":\"0\",\"result\":\"x\"}"),
         [](const Json::Value& r) { EXPECT_EQ(r["err_no"], "0"); }},
        {Fault::Raw(200, "application/json", "{\"err_no\":0.5,\"result\":[]}"),
         [](const Json::Value& r) { EXPECT_EQ(r["err_no"].asDouble(), 0.5); }},
        {Fault::Raw(200, "application/json", "{\"err_no\":0,\"result\":[1,null]}"),
         [](const Json::Value& r) { EXPECT_TRUE(r["result"][0].isInt()); }},
        {Fault::Raw(200, "application/json", "[\"err_no\",0]"), [](const Json::Value& r) { EXPECT_TRUE(r.isArray()); }},
        {Fault::Raw(200, "application/json", std::string(100000, '[') + std::string(100000, ']')), isNull},
        {Fault::Raw(200, "application/json", std::string(HttpRequest::kMaxResponseBytes + 10, ' ')),
         transportFailure(CURLE_WRITE_ERROR)},
    };
    for (size_t i = 0; i < cases.size(); ++i)
        speech->AddFault({.requestNumber = static_cast<int>(i + 1), .fault = cases[i].fault});
    const std::string audio = SpeechDouble::SinePcm(440, 1);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        cases[i].check(Client()->RecognizePcm(audio, "pcm", 16000, kOptions));
    }
}

TEST_F(SpeechClientTest, ARequestPastTheTimeOutIsATransportFailure)
{
    speech->SetDefaultFault(Endpoint::Recognition, Fault::Stall());
    auto client = Client();
    client->SetRequestTimeout(500);
    const Json::Value reply = client->RecognizePcm(SpeechDouble::SinePcm(440, 1), "pcm", 16000, kOptions);
    EXPECT_EQ(reply, SpeechClient::TransportFailure(CURLE_OPERATION_TIMEDOUT));
}

TEST_F(SpeechClientTest, NoServiceAtAllGivesConnectFailures)
{
    const std::string closed = "https://127.0.0.1:" + std::to_string(SpeechDouble::UnusedLoopbackPort());
    setenv("TALVORA_TOKEN_URL", (closed + "/oauth/2.0/token").c_str(), 1);
    setenv("TALVORA_SPEECH_URL", (closed + "/server_api").c_str(), 1);
    auto client = Client();
    EXPECT_EQ(client->FetchToken(), "{\n\t\"curl_error_code\" : 7\n}\n");
    EXPECT_EQ(client->RecognizePcm("ab", "pcm", 16000, kOptions), SpeechClient::TransportFailure(CURLE_COULDNT_CONNECT));
}

TEST_F(SpeechClientTest, AnUntrustedServiceNeverSeesTheSecretKey)
{
    unsetenv("TALVORA_CA_FILE");  // the system's store, which does not know the double
    auto client = Client();
    EXPECT_EQ(client->FetchToken(), "{\n\t\"curl_error_code\" : 60\n}\n");
    EXPECT_EQ(client->RecognizePcm("ab", "pcm", 16000, kOptions),
              SpeechClient::TransportFailure(CURLE_PEER_FAILED_VERIFICATION));
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 0);
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(SpeechClientTest, ClientsOnSeveralThreadsKeepTheirOwnAudio)
{
    const std::vector<int> tones = {300, 440, 550, 660, 770, 880};
    std::vector<Json::Value> replies(tones.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < tones.size(); ++i) {
        threads.emplace_back([&, i] {
            auto client = Client();
            replies[i] = client->RecognizePcm(SpeechDouble::SinePcm(tones[i], 3), "pcm", 16000, kOptions);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < tones.size(); ++i)
        EXPECT_EQ(replies[i]["result"][0], "tone " + std::to_string(tones[i]));
    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 6);
    EXPECT_EQ(speech->RequestCount(Endpoint::Recognition), 6);
}
