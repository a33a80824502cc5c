#include "provisioning/failure.h"

namespace tarvex::provisioning {

Failure interrupted()
{
    return Failure(Failure::Kind::Interrupted,
                   QStringLiteral("interrupted; the exchange in flight was completed"));
}

Failure interruptedConnecting()
{
    return Failure(Failure::Kind::Interrupted,
                   QStringLiteral("interrupted while connecting; nothing was sent"));
}

} // namespace tarvex::provisioning
