#pragma once

#include <QCommandLineOption>

namespace tarvex::link {

// --port N=DEVICE, as every program that reaches a unit by port number takes it: repeatable,
// and when given, exactly these numbers exist. PortMap::fromPortOptions reads the values.
QCommandLineOption portOption();

} // namespace tarvex::link
