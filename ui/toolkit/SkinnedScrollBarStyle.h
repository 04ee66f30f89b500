#pragma once

#include "ui/toolkit/UiAttributes.h"

#include <QProxyStyle>

// The images of a layout's <ScrollBar> element: width, the up and down arrows and the thumb in
// three states each (normal, hot, pushed), and the track.
struct UiScrollBarSkin {
    int width = 0;
    UiAttributes::UiImage upNormal, upHot, upPushed;
    UiAttributes::UiImage downNormal, downHot, downPushed;
    UiAttributes::UiImage thumbNormal, thumbHot, thumbPushed;
    UiAttributes::UiImage track;
};

// Draws vertical scroll bars with a skin's images; everything else is drawn by Qt's Fusion style.
class SkinnedScrollBarStyle final : public QProxyStyle {
public:
    explicit SkinnedScrollBarStyle(const UiScrollBarSkin& skin);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

private:
    UiScrollBarSkin skin_;
};
