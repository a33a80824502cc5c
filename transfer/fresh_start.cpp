#include "transfer/fresh_start.h"

#include "link/link.h"

namespace tarvex::transfer {

void startFresh(link::Link& link)
{
    if (link.cm.IsOpen())
        link.cm.ReadAll();
}

} // namespace tarvex::transfer
