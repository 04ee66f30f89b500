#include "engine/DurationText.h"

int DurationSecondsOfText(const std::wstring& text)
{
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > 2147483647LL * 1000)
            break;
    }
    const long long seconds = value / 1000;
    return seconds > 2147483647LL ? 2147483647 : static_cast<int>(seconds);
}
