#pragma once

#include "link/port.h"
#include "link/port_map.h"
#include "sim/unit_memory.h"
#include "sim/unit_options.h"
#include "sim/unit_protocol.h"

#include <map>
#include <memory>

namespace tarvex::demo {

// The simulator's unit logic on bytes in and out, in this process: no terminal, no system
// port, so it serves on every system. Of the options it takes the identity and silence.
class InProcessUnit
{
public:
    explicit InProcessUnit(const sim::UnitOptions& options, sim::UnitMemory memory = {});

    QByteArray receive(const QByteArray& bytes); // the replies to the commands completed
    const sim::UnitMemory& memory() const { return memory_; }

private:
    sim::CommandFramer framer_;
    sim::UnitMemory memory_;
    QByteArray identity_;
    bool silent_ = false;
};

// A port whose numbers are in-process units: what is written goes to the unit of the port
// open, and its replies are there to read at once.
class InProcessPort : public link::Port
{
    Q_OBJECT
public:
    explicit InProcessPort(QObject* parent = nullptr) : link::Port(parent) {}

    void attach(int number, std::unique_ptr<InProcessUnit> unit);
    InProcessUnit* unit(int number) const;

    bool SetPortNumber(int number) override;
    bool SetOpen(bool open) override;
    bool IsOpen() const override { return open_; }
    bool WriteText(const QString& text) override;
    std::optional<QString> ReadAll() override;

    int portNumber() const override { return number_; }
    QString deviceName() const override;
    QString errorString() const override { return error_; }
    bool openRefusedForPermission() const override { return false; }

private:
    bool fail(const QString& reason);

    std::map<int, std::unique_ptr<InProcessUnit>> units_;
    int number_ = link::kFirstPortNumber;
    bool open_ = false;
    QByteArray received_; // replies not yet read
    QString error_;
};

// The units of --demo: a device that never answers on port 1 and a unit on port 2, so that a
// scan visibly probes one port before it finds the unit. The unit holds what one in service
// might (demoMemory()), so that a first Upload shows values worth looking at.
sim::UnitMemory demoMemory();
std::unique_ptr<InProcessPort> demoUnits();

} // namespace tarvex::demo
