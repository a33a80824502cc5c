#include "app/window_look.h"

#include "app/window_font_family.h"

#include <QFontDatabase>

// The pictures live in this static library; they are linked in only if they are asked for,
// and the asking must happen outside any namespace.
static void loadArtwork()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace tarvex::app {
namespace {

constexpr double kWindowPointSize = 8;
constexpr double kVendorPointSize = 9.6;

} // namespace

QFont windowFont()
{
    QFont font;
    font.setFamilies(windowFontFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kWindowPointSize);
    return font;
}

QFont vendorNameFont()
{
    const QString rounded = QStringLiteral("Arial Rounded MT Bold");
    if (QFontDatabase::hasFamily(rounded)) {
        QFont font(rounded);
        font.setPointSizeF(kVendorPointSize);
        font.setWeight(QFont::Normal);
        return font;
    }
    // That face is heavy by design; a bold sans keeps the look where it is missing.
    QFont font = windowFont();
    font.setPointSizeF(kVendorPointSize);
    font.setBold(true);
    return font;
}

QIcon windowIcon()
{
    loadArtwork();
    QIcon icon;
    icon.addFile(QStringLiteral(":/tarvex/icon32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/tarvex/icon16.xpm"), QSize(16, 16));
    return icon;
}

QPixmap vendorLogo()
{
    loadArtwork();
    return QPixmap(QStringLiteral(":/tarvex/logo.png"));
}

} // namespace tarvex::app
