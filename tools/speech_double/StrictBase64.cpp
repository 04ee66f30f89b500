#include "speech_double/StrictBase64.h"

#include <array>
#include <cstdint>

namespace SpeechDouble {

namespace {

constexpr std::array<int8_t, 256> MakeTable()
{
    std::array<int8_t, 256> table{};
    for (auto& entry : table)
        entry = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr std::array<int8_t, 256> kTable = MakeTable();

}  // namespace

bool DecodeBase64Strict(std::string_view text, std::string& bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t digits = last ? 4 - padding : 4;
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint32_t value = 0;
            if (k < digits) {
                const int8_t decoded = kTable[static_cast<unsigned char>(text[i + k])];
                if (decoded < 0)
                    return false;
                value = static_cast<uint32_t>(decoded);
            } else if (text[i + k] != '=') {
                return false;
            }
            group = (group << 6) | value;
        }
        if ((digits == 2 && (group & 0xFFFF) != 0) || (digits == 3 && (group & 0xFF) != 0))
            return false;
        bytes.push_back(static_cast<char>(group >> 16));
        if (digits >= 3)
            bytes.push_back(static_cast<char>((group >> 8) & 0xFF));
        if (digits == 4)
            bytes.push_back(static_cast<char>(group & 0xFF));
    }
    return true;
}

}  // namespace SpeechDouble
