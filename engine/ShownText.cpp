#include "engine/ShownText.h"

std::string ShownText::Plain() const
{
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (const Value& value : values)
        texts.push_back(value.text);
    return Fill(source, texts);
}

std::string ShownText::Fill(const std::string& source, const std::vector<std::string>& values)
{
    std::string text;
    text.reserve(source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '%' && i + 1 < source.size() && source[i + 1] >= '1' && source[i + 1] <= '9') {
            const size_t index = static_cast<size_t>(source[i + 1] - '1');
            if (index < values.size()) {
                text += values[index];
                ++i;
                continue;
            }
        }
        text += source[i];
    }
    return text;
}
