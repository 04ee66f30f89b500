#include "base/net/HttpRequest.h"
#include "base/net/JsonText.h"
#include "speech_double/SpeechDouble.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/TonePcm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

std::unique_ptr<SpeechDouble::Server> StartDouble(bool https)
{
    SpeechDouble::Options options;
    options.https = https;
    std::string error;
    auto server = SpeechDouble::Server::Start(options, &error);
    EXPECT_TRUE(server) << error;
    return server;
}

std::string HeaderValue(const SpeechDouble::RecordedRequest& request, const std::string& name)
{
    const auto found = request.headers.find(name);
    return found != request.headers.end() ? found->second : std::string("<none>");
}

}  // namespace

TEST(EncodeForm, AscendingNamesEscapedValuesAndTrailingAmpersand)
{
    const HttpFields params = {{"grant_type", "client_credentials"}, {"client_id", "a b"}};
    EXPECT_EQ(HttpRequest::EncodeForm(params), "client_id=a%20b&grant_type=client_credentials&");
    EXPECT_EQ(HttpRequest::EncodeForm({}), "");
    // Everything but letters, digits and "-._~" becomes %XX in upper-case hexadecimal.
    EXPECT_EQ(HttpRequest::EncodeForm({{"k+y", "-._~/&=?%\xE4\xB8\xAD"}}), "k%2By=-._~%2F%26%3D%3F%25%E4%B8%AD&");
    EXPECT_EQ(HttpRequest::EncodeForm({{"empty", ""}}), "empty=&");
}

TEST(AppendQuery, QuestionMarkAmpersandOrNothing)
{
    const HttpFields params = {{"grant_type", "client_credentials"}, {"client_id", "a b"}};
    std::string url = "https://host/oauth/2.0/token";
    HttpRequest::AppendQuery(params, url);
    EXPECT_EQ(url, "https://host/oauth/2.0/token?client_id=a%20b&grant_type=client_credentials&");

    url = "https://host/path?x=1";
    HttpRequest::AppendQuery(params, url);
    EXPECT_EQ(url, "https://host/path?x=1&client_id=a%20b&grant_type=client_credentials&");

    url = "https://host/a?b/c";  // a "?" anywhere counts
    HttpRequest::AppendQuery({{"n", "v"}}, url);
    EXPECT_EQ(url, "https://host/a?b/c&n=v&");

    url = "https://host/path";
    HttpRequest::AppendQuery({}, url);
    EXPECT_EQ(url, "https://host/path");
}

TEST(BuildHeaderList, OneNameColonValueLinePerEntryInOrder)
{
    curl_slist* list = HttpRequest::BuildHeaderList({{"X-b", "2"}, {"Content-Type", "application/json"}, {"X-a", ""}});
    std::vector<std::string> lines;
    for (curl_slist* item = list; item != nullptr; item = item->next)
        lines.emplace_back(item->data);
    curl_slist_free_all(list);
    EXPECT_EQ(lines, (std::vector<std::string>{"Content-Type:application/json", "X-a:", "X-b:2"}));
    EXPECT_EQ(HttpRequest::BuildHeaderList({}), nullptr);
}

TEST(AppendBody, AppendsDiscardsAndRefusesAnOversizedReply)
{
    std::string response = "ab";
    char data[] = {'c', '\0', 'd'};
    EXPECT_EQ(HttpRequest::AppendBody(data, 1, 3, &response), 3u);
    EXPECT_EQ(response, std::string("abc\0d", 5));
    EXPECT_EQ(HttpRequest::AppendBody(data, 1, 3, nullptr), 3u);

    std::string full(HttpRequest::kMaxResponseBytes - 2, 'x');
    EXPECT_EQ(HttpRequest::AppendBody(data, 1, 2, &full), 2u);
    EXPECT_EQ(HttpRequest::AppendBody(data, 1, 1, &full), 0u);
    EXPECT_EQ(full.size(), HttpRequest::kMaxResponseBytes);
}

TEST(HttpRequest, DefaultsAndSetters)
{
    HttpRequest http;
    EXPECT_EQ(http.ConnectTimeout(), 10000);
    EXPECT_EQ(http.Timeout(), 10000);
    http.SetConnectTimeout(60000);
    http.SetTimeout(600000);
    EXPECT_EQ(http.ConnectTimeout(), 60000);
    EXPECT_EQ(http.Timeout(), 600000);
}

TEST(HttpRequest, GetSendsTheEncodedQueryAndHeaders)
{
    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    HttpRequest http;
    const HttpFields params = {{"grant_type", "client_credentials"}, {"client_id", "a b"}};
    const HttpFields headers = {{"X-Trace", "one two"}};
    std::string response;
    EXPECT_EQ(http.Get(speech->TokenUrl(), &params, &headers, &response), 0);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Token, 1));
    const auto request = speech->Requests(Endpoint::Token).at(0);
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->target, "/oauth/2.0/token?client_id=a%20b&grant_type=client_credentials&");
    EXPECT_EQ(HeaderValue(*request, "X-Trace"), "one two");
    EXPECT_EQ(request->bodyBytes, 0u);
    // An unknown client is a successful transfer carrying the service's error object.
    EXPECT_NE(response.find("invalid_client"), std::string::npos);

    response.clear();
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), 0);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Token, 2));
    EXPECT_EQ(speech->Requests(Endpoint::Token).at(1)->target, "/oauth/2.0/token");
}

TEST(HttpRequest, PostSendsEveryByteOfTheBody)
{
    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    HttpRequest http;
    const std::string body("\0a\0\xff\0", 5);
    std::string response;
    EXPECT_EQ(http.Post(speech->SpeechUrl(), nullptr, body, nullptr, &response), 0);
    EXPECT_EQ(http.Post(speech->SpeechUrl(), nullptr, std::string(), nullptr, &response), 0);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Recognition, 2));
    const auto requests = speech->Requests(Endpoint::Recognition);
    EXPECT_EQ(requests[0]->method, "POST");
    EXPECT_EQ(requests[0]->body, body);
    EXPECT_EQ(HeaderValue(*requests[0], "Content-Length"), "5");
    EXPECT_EQ(requests[1]->bodyBytes, 0u);
    EXPECT_EQ(HeaderValue(*requests[1], "Content-Length"), "0");
}

TEST(HttpRequest, PostJsonSendsTheDefaultWriterTextAndTheContentType)
{
    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    HttpRequest http;
    Json::Value data(Json::objectValue);
    data["b"] = 1;
    data["a"] = "x";
    std::string response;
    const HttpFields params = {{"q", "1"}};
    EXPECT_EQ(http.PostJson(speech->SpeechUrl(), &params, data, &response), 0);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Recognition, 1));
    const auto request = speech->Requests(Endpoint::Recognition).at(0);
    EXPECT_EQ(request->body, "{\n\t\"a\" : \"x\",\n\t\"b\" : 1\n}");
    EXPECT_EQ(request->target, "/server_api?q=1&");
    EXPECT_EQ(HeaderValue(*request, "Content-Type"), "application/json");
    EXPECT_EQ(request->headers.count("Content-Type"), 1u);
}

TEST(HttpRequest, AnErrorStatusIsACompletedTransferWithItsBody)
{
    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    const std::string body = "{\"err_no\":3303,\"err_msg\":\"backend error.\"}";
    speech->SetDefaultFault(Endpoint::Token, Fault::Raw(500, "application/json", body));
    HttpRequest http;
    std::string response;
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), 0);
    EXPECT_EQ(response, body);
    // The reply's header fields are there to read, by any case of their names.
    EXPECT_EQ(http.ReplyHeader("content-TYPE"), "application/json");
    EXPECT_EQ(http.ReplyHeader("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(http.ReplyHeader("Retry-After"), "");
}

TEST(HttpRequest, BinaryRepliesArriveIntactAndOversizedOnesFail)
{
    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 1,
                      .fault = Fault::Raw(200, "application/octet-stream", bytes)});
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 2,
                      .fault = Fault::Raw(200, "application/json", std::string(HttpRequest::kMaxResponseBytes + 1, '['))});
    HttpRequest http;
    std::string response;
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), 0);
    EXPECT_EQ(response, bytes);
    response.clear();
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), CURLE_WRITE_ERROR);
    EXPECT_LE(response.size(), HttpRequest::kMaxResponseBytes);
}

TEST(HttpRequest, TransferFailuresGiveTheirLibcurlCodes)
{
    HttpRequest http;
    std::string response;
    const std::string closed = "http://127.0.0.1:" + std::to_string(SpeechDouble::UnusedLoopbackPort()) + "/x";
    EXPECT_EQ(http.Get(closed, nullptr, nullptr, &response), CURLE_COULDNT_CONNECT);

    auto speech = StartDouble(false);
    ASSERT_TRUE(speech);
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 1, .fault = Fault::Stall()});
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 2, .fault = Fault::Refuse()});
    speech->AddFault({.endpoint = Endpoint::Token, .requestNumber = 3, .fault = Fault::CutConnection()});
    http.SetTimeout(300);
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), CURLE_OPERATION_TIMEDOUT);
    http.SetTimeout(10000);
    const int32_t reset = http.Get(speech->TokenUrl(), nullptr, nullptr, &response);
    EXPECT_TRUE(reset == CURLE_RECV_ERROR || reset == CURLE_GOT_NOTHING || reset == CURLE_SEND_ERROR) << reset;
    response.clear();
    EXPECT_EQ(http.Get(speech->TokenUrl(), nullptr, nullptr, &response), CURLE_PARTIAL_FILE);
    EXPECT_FALSE(response.empty());  // what arrived before the failure stays
}

TEST(HttpRequest, HttpsPeersAreVerified)
{
    auto speech = StartDouble(true);
    ASSERT_TRUE(speech);
    std::string response;

    HttpRequest trusting;
    trusting.SetCaFile(speech->CaFile());
    EXPECT_EQ(trusting.Get(speech->TokenUrl(), nullptr, nullptr, &response), 0);
    EXPECT_FALSE(response.empty());

    // The system's store does not know the double's authority.
    HttpRequest system;
    EXPECT_EQ(system.Get(speech->TokenUrl(), nullptr, nullptr, &response), CURLE_PEER_FAILED_VERIFICATION);

    // Another authority's certificate is refused too.
    auto other = StartDouble(true);
    ASSERT_TRUE(other);
    HttpRequest wrongAuthority;
    wrongAuthority.SetCaFile(other->CaFile());
    EXPECT_EQ(wrongAuthority.Get(speech->TokenUrl(), nullptr, nullptr, &response), CURLE_PEER_FAILED_VERIFICATION);

    // So is a certificate for another name.
    SpeechDouble::Options options;
    options.certificateNames = {"speech.example.invalid"};
    auto misnamed = SpeechDouble::Server::Start(options);
    ASSERT_TRUE(misnamed);
    HttpRequest wrongName;
    wrongName.SetCaFile(misnamed->CaFile());
    EXPECT_EQ(wrongName.Get(misnamed->TokenUrl(), nullptr, nullptr, &response), CURLE_PEER_FAILED_VERIFICATION);

    // A missing bundle fails instead of falling back to trusting anyone.
    HttpRequest missing;
    missing.SetCaFile(speech->CaFile() + ".missing");
    EXPECT_NE(missing.Get(speech->TokenUrl(), nullptr, nullptr, &response), 0);

    EXPECT_EQ(speech->RequestCount(Endpoint::Token), 1);
    EXPECT_EQ(misnamed->RequestCount(Endpoint::Token), 0);
}

TEST(HttpRequest, LargeBodiesTravelOverHttps)
{
    auto speech = StartDouble(true);
    ASSERT_TRUE(speech);
    HttpRequest http;
    http.SetCaFile(speech->CaFile());
    const std::string body = SpeechDouble::SinePcm(440, 120);
    ASSERT_EQ(body.size(), 3840000u);
    std::string response;
    EXPECT_EQ(http.Post(speech->SpeechUrl(), nullptr, body, nullptr, &response), 0);
    ASSERT_TRUE(speech->WaitForRequests(Endpoint::Recognition, 1));
    EXPECT_EQ(speech->Requests(Endpoint::Recognition).at(0)->body, body);
}

TEST(ParseJson, EachRuleReadsWhatItAllowsAndLeavesNullOtherwise)
{
    const std::string commented = "{\"a\": 1, // note\n}";
    const std::string trailing = "{\"a\": 1} rest";
    const std::string doubled = "{\"a\": 1, \"a\": 2}";
    Json::Value value;
    for (const std::string& text : {commented, trailing, doubled}) {
        EXPECT_FALSE(ParseJson(text, value)) << text;
        EXPECT_TRUE(value.isNull()) << text;
    }
    EXPECT_TRUE(ParseJson(commented, value, nullptr, JsonRules::kTolerant));
    EXPECT_EQ(value["a"].asInt(), 1);
    EXPECT_TRUE(ParseJson(trailing, value, nullptr, JsonRules::kTolerant));
    EXPECT_TRUE(ParseJson(commented, value, nullptr, JsonRules::kEdited));
    JsonParseError error;
    EXPECT_FALSE(ParseJson(trailing, value, &error, JsonRules::kEdited));
    EXPECT_FALSE(error.threw);
    EXPECT_FALSE(ParseJson(doubled, value, &error, JsonRules::kEdited));

    EXPECT_FALSE(ParseJson(std::string(5000, '[') + std::string(5000, ']'), value, &error));
    EXPECT_TRUE(error.threw);
    EXPECT_FALSE(error.text.empty());
}
