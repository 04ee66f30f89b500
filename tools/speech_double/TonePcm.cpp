#include "speech_double/TonePcm.h"

#include <arpa/inet.h>
#include <cmath>
#include <cstdint>
#include <netinet/in.h>
#include <numbers>
#include <sys/socket.h>
#include <unistd.h>

namespace SpeechDouble {

std::string SinePcm(double frequency, double seconds, double amplitude, int sampleRate)
{
    const auto samples = static_cast<size_t>(std::llround(seconds * sampleRate));
    std::string pcm(samples * 2, '\0');
    const double step = 2 * std::numbers::pi * frequency / sampleRate;
    for (size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<int16_t>(std::lround(amplitude * std::sin(step * static_cast<double>(i))));
        const auto bits = static_cast<uint16_t>(value);
        pcm[2 * i] = static_cast<char>(bits & 0xFF);
        pcm[2 * i + 1] = static_cast<char>(bits >> 8);
    }
    return pcm;
}

int UnusedLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

}  // namespace SpeechDouble
