#include "base/net/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

namespace {

// Strings at least this long are spliced into the text instead of going through the writer.
constexpr size_t kSpliceBytes = 4096;

Json::CharReaderBuilder ReaderFor(JsonRules rules)
{
    Json::CharReaderBuilder builder;
    switch (rules) {
    case JsonRules::kStrict:
        Json::CharReaderBuilder::strictMode(&builder.settings_);
        break;
    case JsonRules::kTolerant:
        break;
    case JsonRules::kEdited:
        builder["failIfExtra"] = true;
        builder["rejectDupKeys"] = true;
        break;
    }
    return builder;
}

// The builders are never destroyed: a worker nobody waits for may still read a reply while the
// process exits.
const Json::CharReaderBuilder& Reader(JsonRules rules)
{
    static const auto* strict = new Json::CharReaderBuilder(ReaderFor(JsonRules::kStrict));
    static const auto* tolerant = new Json::CharReaderBuilder(ReaderFor(JsonRules::kTolerant));
    static const auto* edited = new Json::CharReaderBuilder(ReaderFor(JsonRules::kEdited));
    switch (rules) {
    case JsonRules::kTolerant:
        return *tolerant;
    case JsonRules::kEdited:
        return *edited;
    case JsonRules::kStrict:
        break;
    }
    return *strict;
}

const Json::StreamWriterBuilder& Builder()
{
    static const auto* builder = new Json::StreamWriterBuilder;
    return *builder;
}

// What JsonCpp's writer (default settings) would escape inside a string.
bool NeedsEscaping(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '"' || c == '\\' || byte < 0x20 || byte > 0x7F;
    });
}

}  // namespace

std::string WriteJsonText(const Json::Value& value)
{
    // JsonCpp quotes a string by concatenating it into a temporary that can grow to twice its
    // length, then copies it through the stream: a request carrying a segment's Base64 text would
    // hold several copies of it at once. Long top-level strings that need no escaping (Base64
    // never does) come out of the writer as the string between quotes, so a short stand-in is
    // written in their place and the string copied in once, straight into the final text.
    std::vector<std::string_view> spliced;  // the value's own bytes, in member order
    Json::Value shell;
    if (value.isObject()) {
        shell = Json::Value(Json::objectValue);
        for (auto it = value.begin(); it != value.end(); ++it) {
            const Json::Value& member = *it;
            if (member.isString()) {
                const char* begin = nullptr;
                const char* end = nullptr;
                member.getString(&begin, &end);
                const std::string_view text(begin, static_cast<size_t>(end - begin));
                if (text.size() >= kSpliceBytes && !NeedsEscaping(text)) {
                    shell[it.name()] = "\x7F" + std::to_string(spliced.size()) + "\x7F";
                    spliced.push_back(text);
                    continue;
                }
            }
            shell[it.name()] = member;
        }
    }
    if (spliced.empty())
        return Json::writeString(Builder(), value);

    const std::string frame = Json::writeString(Builder(), shell);
    // Each stand-in must be found exactly once; a small member holding the same odd bytes would
    // make the splice ambiguous, and then the plain way is taken.
    if (static_cast<size_t>(std::count(frame.begin(), frame.end(), '\x7F')) != 2 * spliced.size())
        return Json::writeString(Builder(), value);
    size_t total = frame.size();
    for (const std::string_view text : spliced)
        total += text.size();
    std::string out;
    out.reserve(total);
    size_t from = 0;
    for (size_t index = 0; index < spliced.size(); ++index) {
        const std::string marker = "\"\x7F" + std::to_string(index) + "\x7F\"";
        const size_t at = frame.find(marker, from);
        if (at == std::string::npos)
            return Json::writeString(Builder(), value);
        out.append(frame, from, at - from);
        out += '"';
        out += spliced[index];
        out += '"';
        from = at + marker.size();
    }
    out.append(frame, from, std::string::npos);
    return out;
}

bool SplitJsonTextAround(const Json::Value& object, const char* name, std::string* before, std::string* after)
{
    if (!object.isObject() || !object.isMember(name) || !object[name].isString())
        return false;
    // A stand-in that the writer copies as it is, found exactly once.
    Json::Value shell = object;
    shell[name] = "\x7F";
    const std::string frame = Json::writeString(Builder(), shell);
    const std::string marker = "\"\x7F\"";
    const size_t at = frame.find(marker);
    if (at == std::string::npos || frame.find(marker, at + 1) != std::string::npos)
        return false;
    *before = frame.substr(0, at + 1);
    *after = frame.substr(at + marker.size() - 1);
    return true;
}

std::string StyledJsonText(const Json::Value& value)
{
    return WriteJsonText(value) + "\n";
}

bool ParseJson(const std::string& text, Json::Value& value, JsonParseError* error, JsonRules rules)
{
    std::string messages;
    try {
        const std::unique_ptr<Json::CharReader> reader(Reader(rules).newCharReader());
        value = Json::Value();
        if (reader->parse(text.data(), text.data() + text.size(), &value, &messages))
            return true;
        value = Json::Value();  // what a failed parse leaves behind is not a value
        if (error != nullptr)
            *error = JsonParseError{std::move(messages), false};
    } catch (const std::exception& thrown) {
        value = Json::Value();
        if (error != nullptr)
            *error = JsonParseError{thrown.what(), true};
    }
    return false;
}
