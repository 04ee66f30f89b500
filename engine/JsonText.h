#pragma once

#include <json/value.h>

#include <string>

// JSON text as the speech service's requests and messages carry it: JsonCpp's StreamWriterBuilder
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
