#pragma once

#include <QStringList>

// The network addresses the operator connected to last, offered again by "Connect to Network
// Unit...", most recent first, kept between runs in the user's settings.
namespace tarvex::app::recent_addresses {

inline constexpr int kKept = 10;

// The list after address was used: at the front, its earlier place dropped, at most kKept.
QStringList afterUse(QStringList recent, const QString& address);

// What the settings hold (an INI file, never the Windows registry: the portable zip writes
// nothing there).
QStringList load();
void remember(const QString& address);

} // namespace tarvex::app::recent_addresses
