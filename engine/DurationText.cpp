#include "engine/DurationText.h"

#include "base/TextConvert.h"

int DurationSecondsOfText(const std::wstring& text)
{
    long long value = 0;
    for (const char c : WideToAnsi(text)) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > 2147483647LL * 1000)
            break;
    }
    const long long seconds = value / 1000;
    return seconds > 2147483647LL ? 2147483647 : static_cast<int>(seconds);
}
