#include "app/compact_check_box_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace tarvex::app {
namespace {

constexpr int kIndicatorSize = 13;
constexpr int kLabelSpacing = 4;
constexpr double kDesignDpi = 96;

int scaledToScreen(int pixels, const QWidget* widget)
{
    return widget == nullptr ? pixels : qRound(pixels * widget->logicalDpiX() / kDesignDpi);
}

int boxHeight(const QStyleOption* option)
{
    return option != nullptr && option->rect.height() > 0 ? option->rect.height() : INT_MAX;
}

} // namespace

// Based on a fresh instance of the application's own style, so the boxes look like the rest.
CompactCheckBoxStyle::CompactCheckBoxStyle(QObject* parent)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
    setParent(parent);
}

int CompactCheckBoxStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                      const QWidget* widget) const
{
    const int size = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_IndicatorWidth: // square: the width follows the height
    case PM_IndicatorHeight:
        return std::min({size, scaledToScreen(kIndicatorSize, widget), boxHeight(option)});
    case PM_CheckBoxLabelSpacing:
        return std::min(size, scaledToScreen(kLabelSpacing, widget));
    default:
        return size;
    }
}

} // namespace tarvex::app
