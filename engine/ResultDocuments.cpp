#include "engine/ResultDocuments.h"

#include "engine/SegmentRecord.h"
#include "engine/SegmentTexts.h"

#include <json/value.h>
#include <json/writer.h>

#include <cmath>
#include <memory>
#include <sstream>

namespace {

double ToMillisecond(double seconds)
{
    return std::round(seconds * 1000) / 1000;
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

}  // namespace

std::string ResultDocuments::Json(const std::vector<SegmentRecord*>& records, const FileFacts& facts)
{
    Json::Value document(Json::objectValue);
    document["file"] = facts.file;
    int32_t duration = 0;
    for (const SegmentRecord* record : records)
        duration = std::max(duration, record->totalSeconds);
    document["duration"] = duration;
    document["recognizer"] = facts.recognizer;
    document["language"] = facts.language.empty() ? Json::Value() : Json::Value(facts.language);
    document["text"] = SegmentTexts::Joined(records);
    Json::Value& pieces = document["pieces"] = Json::Value(Json::arrayValue);
    for (const TimedPiece& piece : SegmentTexts::Pieces(records)) {
        Json::Value entry(Json::objectValue);
        entry["start"] = ToMillisecond(piece.start);
        entry["end"] = ToMillisecond(piece.end);
        entry["text"] = piece.text;
        entry["estimated"] = piece.estimated;
        pieces.append(std::move(entry));
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    builder["emitUTF8"] = true;
    builder["precision"] = 3;
    builder["precisionType"] = "decimal";
    return Json::writeString(builder, document) + "\n";
}

std::string ResultDocuments::Tsv(const std::vector<SegmentRecord*>& records)
{
    std::string out = "start\tend\ttext\n";
    for (const TimedPiece& piece : SegmentTexts::Pieces(records)) {
        out += std::to_string(std::llround(piece.start * 1000)) + "\t" + std::to_string(std::llround(piece.end * 1000)) + "\t" +
               OneLine(piece.text) + "\n";
    }
    return out;
}
