#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"

#include <QByteArray>
#include <QList>

// The items in which two configuration files differ, as the engine names them. Pure.
namespace tarvex::fleet {

// What a unit whose last backup was configuration holds, as far as that file says.
provisioning::UnitValues valuesOf(const provisioning::ManagedConfiguration& configuration);

// From the older file's values to the newer's; an empty older file counts as nothing known.
QList<provisioning::Change> changesBetween(const QByteArray& older, const QByteArray& newer);

// Whether a unit last read as backup differs from what wanted manages.
bool differsFrom(const QByteArray& backup, const provisioning::ManagedConfiguration& wanted);

} // namespace tarvex::fleet
