#include "register/register_error.h"

namespace tarvex::fleet {

void invalid(const QString& message)
{
    throw RegisterError(RegisterError::Kind::InvalidInput, message);
}

} // namespace tarvex::fleet
