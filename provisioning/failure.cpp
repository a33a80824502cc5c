#include "provisioning/failure.h"

namespace tarvex::provisioning {

Failure interrupted()
{
    return Failure(Failure::Kind::Interrupted,
                   QStringLiteral("interrupted; the exchange in flight was completed"));
}

} // namespace tarvex::provisioning
