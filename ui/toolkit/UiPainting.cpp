#include "ui/toolkit/UiPainting.h"

#include "ui/toolkit/UiToolkit.h"

#include <QAbstractTextDocumentLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextOption>
#include <qdrawutil.h>

QPixmap UiPainting::LoadImage(const UiAttributes::UiImage& image)
{
    if (image.IsEmpty())
        return QPixmap();
    return UiToolkit::GetImage(image.file);
}

void UiPainting::DrawImage(QPainter& painter, const QRect& rect, const UiAttributes::UiImage& image)
{
    const QPixmap pixmap = LoadImage(image);
    if (pixmap.isNull() || rect.isEmpty())
        return;
    const UiRect& c = image.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        painter.drawPixmap(rect, pixmap);
        return;
    }
    qDrawBorderPixmap(&painter, rect, QMargins(c.left, c.top, c.right, c.bottom), pixmap);
}

void UiPainting::PaintBackground(QPainter& painter, const QRect& rect, const QColor& color, const QColor& color2,
                                 const UiAttributes::UiImage& image, const QColor& borderColor,
                                 const UiRect& borderSize, int round)
{
    if (rect.isEmpty())
        return;
    painter.save();
    if (round > 0)
        painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    if (round > 0)
        shape.addRoundedRect(QRectF(rect), round, round);
    else
        shape.addRect(QRectF(rect));
    if (color.isValid()) {
        if (color2.isValid()) {
            QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
            gradient.setColorAt(0, color);
            gradient.setColorAt(1, color2);
            painter.fillPath(shape, gradient);
        } else {
            painter.fillPath(shape, color);
        }
    }
    if (!image.IsEmpty())
        DrawImage(painter, rect, image);
    if (borderColor.isValid()) {
        const UiRect& b = borderSize;
        const bool even = b.left == b.top && b.top == b.right && b.right == b.bottom;
        if (even && b.left > 0) {
            const qreal half = b.left / 2.0;
            QPen pen(borderColor, b.left);
            pen.setJoinStyle(Qt::MiterJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            const QRectF inner = QRectF(rect).adjusted(half, half, -half, -half);
            if (round > 0)
                painter.drawRoundedRect(inner, round, round);
            else
                painter.drawRect(inner);
        } else {
            if (b.left > 0)
                painter.fillRect(QRect(rect.left(), rect.top(), b.left, rect.height()), borderColor);
            if (b.top > 0)
                painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), b.top), borderColor);
            if (b.right > 0)
                painter.fillRect(QRect(rect.right() + 1 - b.right, rect.top(), b.right, rect.height()), borderColor);
            if (b.bottom > 0)
                painter.fillRect(QRect(rect.left(), rect.bottom() + 1 - b.bottom, rect.width(), b.bottom), borderColor);
        }
    }
    painter.restore();
}

void UiPainting::DrawText(QPainter& painter, const QRect& rect, const QString& text, const TextStyle& style)
{
    if (text.isEmpty() || rect.isEmpty())
        return;
    painter.save();
    painter.setFont(style.font);
    if (!style.html) {
        painter.setPen(style.color);
        if (style.wrap) {
            painter.drawText(rect, static_cast<int>(style.align) | Qt::TextWordWrap, text);
        } else {
            QString shown = text;
            if (style.endEllipsis)
                shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
            painter.drawText(rect, static_cast<int>(style.align) | Qt::TextSingleLine, shown);
        }
        painter.restore();
        return;
    }
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setDefaultFont(style.font);
    QTextOption option(style.align & Qt::AlignHorizontal_Mask);
    option.setWrapMode(style.wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    document.setDefaultTextOption(option);
    // Markup keeps the blanks as written, like plain text does ("电话:..." + four spaces + "QQ:").
    const QString space = style.wrap ? QStringLiteral("pre-wrap") : QStringLiteral("pre");
    document.setHtml(QStringLiteral("<div style=\"white-space:%1\">").arg(space) + text + QStringLiteral("</div>"));
    document.setTextWidth(rect.width());
    const qreal height = document.size().height();
    qreal y = rect.top();
    if (style.align & Qt::AlignVCenter)
        y += (rect.height() - height) / 2;
    else if (style.align & Qt::AlignBottom)
        y += rect.height() - height;
    painter.setClipRect(rect);
    painter.translate(rect.left(), y);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, style.color);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
}
