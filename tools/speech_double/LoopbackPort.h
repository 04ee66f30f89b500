#pragma once

namespace SpeechDouble {

// A loopback port with nothing listening on it (bound and released again), for "connection
// refused" cases: a request there fails with CURLE_COULDNT_CONNECT. Another process could take
// the port in between, which is very unlikely.
int UnusedLoopbackPort();

}  // namespace SpeechDouble
