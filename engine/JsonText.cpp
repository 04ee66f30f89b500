#include "engine/JsonText.h"

#include <json/writer.h>

#include <memory>
#include <ostream>
#include <streambuf>

namespace {

// Counts what the writer produces without keeping it.
class CountingBuffer : public std::streambuf {
public:
    size_t Count() const { return count_; }

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        count_ += static_cast<size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            ++count_;
        return traits_type::not_eof(c);
    }

private:
    size_t count_ = 0;
};

// Appends what the writer produces to a string reserved beforehand.
class AppendingBuffer : public std::streambuf {
public:
    explicit AppendingBuffer(std::string& out) : out_(out) {}

protected:
    std::streamsize xsputn(const char* data, std::streamsize n) override
    {
        out_.append(data, static_cast<size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            out_.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }

private:
    std::string& out_;
};

void Write(const Json::Value& value, std::streambuf& buffer)
{
    static const Json::StreamWriterBuilder builder;
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    writer->write(value, &out);
}

}  // namespace

std::string WriteJsonText(const Json::Value& value)
{
    CountingBuffer counter;
    Write(value, counter);
    std::string text;
    text.reserve(counter.Count());
    AppendingBuffer appender(text);
    Write(value, appender);
    return text;
}

std::string StyledJsonText(const Json::Value& value)
{
    return WriteJsonText(value) + "\n";
}
