#pragma once

#include "link/port_map.h"
#include "sim/simulated_unit.h"

#include <QObject>

namespace tarvex::app {

// The units behind --demo: a device that never answers on port 1 and a simulated unit on
// port 2, so a scan visibly probes one port before it finds the unit. No system port is used.
class DemoUnits : public QObject
{
    Q_OBJECT
public:
    explicit DemoUnits(QObject* parent = nullptr);

    bool start(); // false with errorString() when a terminal cannot be made
    QString errorString() const { return error_; }
    link::PortMap ports() const;

private:
    sim::SimulatedUnit silentDevice_;
    sim::SimulatedUnit unit_;
    QString error_;
};

} // namespace tarvex::app
