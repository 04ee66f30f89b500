#pragma once

#include <QString>

// The files the program takes for their sound: audio files, and video files whose sound track
// ffmpeg takes, by their name's ending.
namespace AudioFileTypes {

// "*.3ga;*.669;...": the open-file dialog's filter.
const wchar_t* Patterns();
// Whether the name ends in one of the patterns' endings, in any case.
bool Matches(const QString& fileName);

}  // namespace AudioFileTypes
