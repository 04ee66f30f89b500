#include "ui/toolkit/SkinnedScrollBarStyle.h"

#include "ui/toolkit/UiPainting.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionSlider>

SkinnedScrollBarStyle::SkinnedScrollBarStyle(const UiScrollBarSkin& skin)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), skin_(skin)
{
}

int SkinnedScrollBarStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent && skin_.width > 0)
        return skin_.width;
    if (metric == PM_ScrollBarSliderMin && skin_.width > 0)
        return skin_.width + 6;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void SkinnedScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                           QPainter* painter, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || bar == nullptr || bar->orientation != Qt::Vertical) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    UiPainting::DrawImage(*painter, bar->rect, skin_.track);
    struct Part {
        SubControl control;
        const UiAttributes::UiImage* normal;
        const UiAttributes::UiImage* hot;
        const UiAttributes::UiImage* pushed;
    };
    const Part parts[] = {
        {SC_ScrollBarSubLine, &skin_.upNormal, &skin_.upHot, &skin_.upPushed},
        {SC_ScrollBarAddLine, &skin_.downNormal, &skin_.downHot, &skin_.downPushed},
        {SC_ScrollBarSlider, &skin_.thumbNormal, &skin_.thumbHot, &skin_.thumbPushed},
    };
    for (const Part& part : parts) {
        if (part.control == SC_ScrollBarSlider && bar->maximum == bar->minimum)
            continue;
        const QRect area = subControlRect(CC_ScrollBar, bar, part.control, widget);
        const bool active = (bar->activeSubControls & part.control) != 0;
        const UiAttributes::UiImage* image = part.normal;
        if (active && (bar->state & State_Sunken) && !part.pushed->IsEmpty())
            image = part.pushed;
        else if (active && (bar->state & State_MouseOver) && !part.hot->IsEmpty())
            image = part.hot;
        UiPainting::DrawImage(*painter, area, *image);
    }
}
