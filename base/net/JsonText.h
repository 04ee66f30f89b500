#pragma once

#include <json/value.h>

#include <string>

// JSON text, in and out, built in this one place.
//
// Written as the speech service's requests and messages carry it: JsonCpp's StreamWriterBuilder
// with its default settings (tab indentation, " : " after a member's name, members in ascending
// name order, non-ASCII characters escaped).

// The writer's output, without a trailing newline, byte for byte. Long top-level strings that
// need no escaping (a segment's Base64 text) are copied once, straight into the result, instead
// of several times through the writer. Throws std::bad_alloc when memory runs out.
std::string WriteJsonText(const Json::Value& value);

// The writer's output of an object split around the value of its string member `name`, as if
// that member held a string that needs no escaping: `before` ends with the value's opening quote,
// `after` starts with its closing quote. False when the object has no such member.
bool SplitJsonTextAround(const Json::Value& object, const char* name, std::string* before, std::string* after);

// The "styled" text of a value that goes into messages: the writer's output and a newline.
std::string StyledJsonText(const Json::Value& value);

// How strictly ParseJson reads.
enum class JsonRules {
    // Standard JSON only: one object or array, no comments, no trailing commas, no byte-order
    // mark, no name twice, nothing after the value (JsonCpp's strict mode). For what the
    // program's servers and the program itself wrote.
    kStrict,
    // JsonCpp's defaults: comments, trailing commas and a byte-order mark pass, and text after
    // the value is ignored.
    kTolerant,
    // Tolerant, but nothing may follow the value and no name may repeat: for a file a person
    // edits, where a leftover or a doubled entry is a mistake worth reporting.
    kEdited,
};

// Why ParseJson did not read a text.
struct JsonParseError {
    std::string text;     // JsonCpp's messages (they may quote the document), or what it threw
    bool threw = false;   // JsonCpp gave up by throwing, on nesting deeper than its limit
};

// Reads `text` as one JSON value. On failure `value` is null and `error` (when given) says why;
// nothing is thrown.
bool ParseJson(const std::string& text, Json::Value& value, JsonParseError* error = nullptr,
               JsonRules rules = JsonRules::kStrict);
