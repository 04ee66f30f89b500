#pragma once

#include "ui/toolkit/UiAttributes.h"
#include "ui/toolkit/UiTypes.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

// Drawing shared by the controls: backgrounds, borders, skin images and texts.
namespace UiPainting {

QPixmap LoadImage(const UiAttributes::UiImage& image);

// Stretches the image over `rect`, keeping its corner edges unscaled when it has any.
void DrawImage(QPainter& painter, const QRect& rect, const UiAttributes::UiImage& image);

// A background colour (a vertical gradient when `color2` is valid), then the image, then the
// border: one pen for four equal sides (rounded by `round`), a strip per side otherwise.
void PaintBackground(QPainter& painter, const QRect& rect, const QColor& color, const QColor& color2,
                     const UiAttributes::UiImage& image, const QColor& borderColor, const UiRect& borderSize,
                     int round);

struct TextStyle {
    QFont font;
    QColor color = Qt::black;
    Qt::Alignment align = Qt::AlignCenter;
    bool html = false;
    bool wrap = false;
    bool endEllipsis = false;
};

// Draws `text` inside `rect`: plain text (cut with an ellipsis when asked) or markup.
void DrawText(QPainter& painter, const QRect& rect, const QString& text, const TextStyle& style);

}  // namespace UiPainting
