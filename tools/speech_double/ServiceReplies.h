#pragma once

#include <cstdint>
#include <string>

namespace SpeechDouble {

// Reply texts shaped like the real service's: compact JSON, members in the service's order,
// UTF-8 text unescaped.

// The service's message for an error number ("authentication failed." for 3302, ...).
std::string ServiceErrorMessage(int errNo);

// {"err_no":0,"err_msg":"success.","result":["<text>"],"sn":"<sn>","corpus_no":"<corpus>"}
std::string RecognitionSuccess(const std::string& text, const std::string& sn, const std::string& corpusNo);
// The same without "err_no".
std::string RecognitionWithoutErrNo(const std::string& text, const std::string& sn, const std::string& corpusNo);
// {"err_no":<n>,"err_msg":"<message>","sn":"<sn>"}
std::string RecognitionError(int errNo, const std::string& message, const std::string& sn);

// The token endpoint's success reply; withToken false leaves "access_token" out.
std::string TokenSuccess(const std::string& token, int64_t expiresIn, bool withToken = true);
// {"error":"<error>","error_description":"<description>"}
std::string OAuthError(const std::string& error, const std::string& description);

// A gateway's HTML error page.
std::string HtmlErrorPage();

// A JSON string literal: quotes, backslashes and control characters escaped, other bytes as they are.
std::string JsonQuote(const std::string& text);

}  // namespace SpeechDouble
