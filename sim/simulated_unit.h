#pragma once

#include "sim/unit_options.h"

#include <QObject>
#include <QString>

#include <memory>

namespace tarvex::sim {

// A unit on a pseudo-terminal: answers the unit's command set on the terminal side that
// devicePath() names. Lives in the caller's event loop, so it serves in-process as well.
class SimulatedUnit : public QObject
{
    Q_OBJECT
public:
    explicit SimulatedUnit(UnitOptions options, QObject* parent = nullptr);
    ~SimulatedUnit() override;

    bool start();               // opens the terminal; false with errorString() on failure
    QString devicePath() const; // the terminal side a serial port opens
    QString errorString() const;
    int commandsReceived() const;

signals:
    void commandReceived(const QByteArray& line); // each complete command, CR included
    void hungUp();                                // --hangup-after closed the line

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tarvex::sim
