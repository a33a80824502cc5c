#pragma once

#include <QString>

namespace tarvex::link {

// The system's words for a Win32 or Winsock error code, as the user would read them in any other
// program. For the Windows sources of the link only.
QString systemMessage(unsigned long code);

} // namespace tarvex::link
