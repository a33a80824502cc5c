#pragma once

#include <QProxyStyle>

namespace tarvex::app {

// The application's style with check boxes drawn as compactly as the layout was made for: a
// 13 pixel indicator (at 96 DPI) with 4 pixels before the caption, and never an indicator
// taller than its box. Some event captions have 112 pixels beside their Edit buttons, and one
// box is only 13 pixels high; the usual indicator and gap would cut both.
class CompactCheckBoxStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit CompactCheckBoxStyle(QObject* parent);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

} // namespace tarvex::app
