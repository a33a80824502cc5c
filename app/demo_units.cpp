#include "app/demo_units.h"

namespace tarvex::app {
namespace {
sim::UnitOptions silentOptions()
{
    sim::UnitOptions options;
    options.silent = true;
    return options;
}
} // namespace

DemoUnits::DemoUnits(QObject* parent)
    : QObject(parent), silentDevice_(silentOptions()), unit_(sim::UnitOptions{})
{}

bool DemoUnits::start()
{
    for (sim::SimulatedUnit* unit : {&silentDevice_, &unit_}) {
        if (!unit->start()) {
            error_ = unit->errorString();
            return false;
        }
    }
    return true;
}

link::PortMap DemoUnits::ports() const
{
    return link::PortMap::pinned({{1, silentDevice_.devicePath()}, {2, unit_.devicePath()}});
}

} // namespace tarvex::app
