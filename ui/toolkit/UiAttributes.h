#pragma once

#include "ui/toolkit/UiTypes.h"

#include <QColor>
#include <QString>

#include <string>

// Readers for the attribute values of layout files. Each returns false, leaving the output
// alone, when the text does not have the expected form.
namespace UiAttributes {

// "#AARRGGBB" (ARGB), "#RRGGBB" (opaque) or the same digits after "0x".
bool ParseColor(const QString& text, QColor& color);
// "left,top,right,bottom"; a single number stands for all four sides.
bool ParseRect(const QString& text, UiRect& rect);
// "width,height".
bool ParseSize(const QString& text, int& width, int& height);
bool ParseInt(const QString& text, int& value);
// "true" or "1" (any letter case) is true, everything else false.
bool ParseBool(const QString& text);
// Alignment words separated by "|", "," or blanks: left, center, right, top, vcenter, bottom.
// Each word replaces only its own direction of `alignment`.
bool ParseAlign(const QString& text, Qt::Alignment& alignment);

// An image reference: a plain file name, or "file='name.png' corner='l,t,r,b'" where corner
// keeps those edges unscaled when the image is stretched.
struct UiImage {
    std::wstring file;
    UiRect corner;
    bool IsEmpty() const { return file.empty(); }
};
bool ParseImage(const QString& text, UiImage& image);

}  // namespace UiAttributes
