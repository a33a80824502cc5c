#pragma once

#include "app/dialogs.h"

namespace tarvex::app::dialogs {

// The observer set by setObserver, for the dialogs' own sources; nullptr when none.
Observer*& currentObserver();

} // namespace tarvex::app::dialogs
