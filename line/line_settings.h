#pragma once

#include <QtGlobal>

namespace tarvex::link {

// How bytes go over the line to the unit. Every line that sets it takes it from kUnitLine: a
// serial device on each system, and a terminal server through the COM-PORT option.
struct LineSettings
{
    enum class Parity { None, Odd, Even };
    enum class StopBits { One, Two };
    enum class FlowControl { None, Hardware, Software };

    quint32 baudRate;
    quint8 dataBits;
    Parity parity;
    StopBits stopBits;
    FlowControl flowControl;
};

// The unit's fixed settings: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
inline constexpr LineSettings kUnitLine{9600, 8, LineSettings::Parity::None,
                                        LineSettings::StopBits::One,
                                        LineSettings::FlowControl::None};

} // namespace tarvex::link
