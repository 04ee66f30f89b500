#include "speech_double/MultipartForm.h"

#include <cctype>
#include <utility>

namespace SpeechDouble {

namespace {

constexpr size_t kLongestBoundary = 70;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// A header value of the form `value *( ";" name "=" ( token / quoted-string ) )`: the leading
// value and the parameters, names lowercased, quotes and backslash escapes removed.
bool SplitParameters(std::string_view text, std::string& value, std::vector<std::pair<std::string, std::string>>& parameters)
{
    size_t pos = text.find(';');
    value = std::string(Trim(text.substr(0, pos)));
    while (pos != std::string_view::npos) {
        ++pos;
        const size_t equals = text.find('=', pos);
        if (equals == std::string_view::npos)
            return false;
        std::string name(Trim(text.substr(pos, equals - pos)));
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name.empty())
            return false;
        pos = equals + 1;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        std::string parameter;
        if (pos < text.size() && text[pos] == '"') {
            for (++pos;; ++pos) {
                if (pos >= text.size())
                    return false;
                if (text[pos] == '"')
                    break;
                if (text[pos] == '\\' && ++pos >= text.size())
                    return false;
                parameter += text[pos];
            }
            ++pos;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
                ++pos;
            if (pos < text.size() && text[pos] != ';')
                return false;
        } else {
            const size_t next = text.find(';', pos);
            parameter = std::string(Trim(text.substr(pos, next - pos)));
            if (parameter.empty())
                return false;
            pos = next;
        }
        if (pos >= text.size())
            pos = std::string_view::npos;
        parameters.emplace_back(std::move(name), std::move(parameter));
    }
    return true;
}

const std::string* Find(const std::vector<std::pair<std::string, std::string>>& parameters, std::string_view name)
{
    for (const auto& [key, value] : parameters) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

bool ReadDisposition(std::string_view text, FormItem& part, std::string& error)
{
    std::string value;
    std::vector<std::pair<std::string, std::string>> parameters;
    if (!SplitParameters(text, value, parameters) || !SameWord(value, "form-data")) {
        error = "a part's Content-Disposition is not form-data with parameters: " + std::string(text);
        return false;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
        for (size_t j = i + 1; j < parameters.size(); ++j) {
            if (parameters[i].first == parameters[j].first) {
                error = "a part's Content-Disposition has \"" + parameters[i].first + "\" twice";
                return false;
            }
        }
    }
    const std::string* name = Find(parameters, "name");
    if (name == nullptr || name->empty()) {
        error = "a part's Content-Disposition has no name";
        return false;
    }
    part.name = *name;
    if (const std::string* fileName = Find(parameters, "filename")) {
        part.hasFileName = true;
        part.fileName = *fileName;
    }
    return true;
}

}  // namespace

bool ParseMultipartForm(std::string_view contentType, std::string_view body, std::vector<FormItem>& parts,
                        std::string& error)
{
    parts.clear();
    std::string mediaType;
    std::vector<std::pair<std::string, std::string>> parameters;
    if (!SplitParameters(contentType, mediaType, parameters) || !SameWord(mediaType, "multipart/form-data")) {
        error = "the Content-Type is not multipart/form-data: " + std::string(contentType);
        return false;
    }
    const std::string* boundary = Find(parameters, "boundary");
    if (boundary == nullptr || boundary->empty() || boundary->size() > kLongestBoundary) {
        error = "the Content-Type names no boundary of 1 to 70 characters";
        return false;
    }
    const std::string delimiter = "--" + *boundary;
    const std::string closing = "\r\n" + delimiter;
    if (body.substr(0, delimiter.size() + 2) != delimiter + "\r\n") {
        error = "the body does not start with the boundary line";
        return false;
    }
    size_t pos = delimiter.size() + 2;
    for (;;) {
        FormItem part;
        bool disposition = false;
        for (;;) {
            const size_t lineEnd = body.find("\r\n", pos);
            if (lineEnd == std::string_view::npos) {
                error = "a part's headers do not end in an empty line";
                return false;
            }
            const std::string_view line = body.substr(pos, lineEnd - pos);
            pos = lineEnd + 2;
            if (line.empty())
                break;
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos || colon == 0) {
                error = "a part header is not \"Name: value\": " + std::string(line);
                return false;
            }
            const std::string_view name = Trim(line.substr(0, colon));
            const std::string_view value = Trim(line.substr(colon + 1));
            if (SameWord(name, "Content-Disposition")) {
                if (disposition) {
                    error = "a part has two Content-Disposition headers";
                    return false;
                }
                disposition = true;
                if (!ReadDisposition(value, part, error))
                    return false;
            } else if (SameWord(name, "Content-Type")) {
                part.contentType = std::string(value);
            }
        }
        if (!disposition) {
            error = "a part has no Content-Disposition header";
            return false;
        }
        const size_t next = body.find(closing, pos);
        if (next == std::string_view::npos) {
            error = "the part \"" + part.name + "\" is not followed by a boundary line";
            return false;
        }
        part.content = std::string(body.substr(pos, next - pos));
        parts.push_back(std::move(part));
        pos = next + closing.size();
        const std::string_view rest = body.substr(pos);
        if (rest.substr(0, 2) == "--") {
            if (rest.size() == 2 || rest.substr(2) == "\r\n")
                return true;
            error = "bytes follow the closing boundary";
            return false;
        }
        if (rest.substr(0, 2) != "\r\n") {
            error = "a boundary line goes on after the boundary";
            return false;
        }
        pos += 2;
    }
}

}  // namespace SpeechDouble
