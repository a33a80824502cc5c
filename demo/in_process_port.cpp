#include "demo/in_process_port.h"

namespace tarvex::demo {

InProcessUnit::InProcessUnit(const sim::UnitOptions& options, sim::UnitMemory memory)
    : memory_(std::move(memory)), identity_(options.identity.toLatin1()), silent_(options.silent)
{}

QByteArray InProcessUnit::receive(const QByteArray& bytes)
{
    QByteArray replies;
    for (const QByteArray& command : framer_.feed(bytes)) {
        const sim::Answer answer = sim::answerCommand(command, identity_, memory_);
        if (!silent_)
            replies += answer.reply;
    }
    return replies;
}

void InProcessPort::attach(int number, std::unique_ptr<InProcessUnit> unit)
{
    units_[number] = std::move(unit);
}

InProcessUnit* InProcessPort::unit(int number) const
{
    const auto found = units_.find(number);
    return found == units_.end() ? nullptr : found->second.get();
}

bool InProcessPort::SetPortNumber(int number)
{
    if (open_)
        return fail(QStringLiteral("The port number cannot change while the port is open"));
    if (number < link::kFirstPortNumber || number > link::kLastPortNumber)
        return fail(QStringLiteral("There is no port number %1").arg(number));
    number_ = number;
    return true;
}

bool InProcessPort::SetOpen(bool open)
{
    if (open == open_)
        return fail(open ? QStringLiteral("The port is already open")
                         : QStringLiteral("The port is not open"));
    if (open && !unit(number_))
        return fail(QStringLiteral("Port %1 has no device").arg(number_));
    open_ = open;
    received_.clear(); // what a unit said to an earlier opening is not for this one
    return true;
}

bool InProcessPort::WriteText(const QString& text)
{
    if (!open_)
        return fail(QStringLiteral("The port is not open"));
    if (!link::encodesInLatin1(text))
        return fail(QStringLiteral("The text holds a character the unit cannot take"));
    received_ += unit(number_)->receive(text.toLatin1());
    return true;
}

std::optional<QString> InProcessPort::ReadAll()
{
    if (!open_) {
        fail(QStringLiteral("The port is not open"));
        return std::nullopt;
    }
    return QString::fromLatin1(std::exchange(received_, {}));
}

QString InProcessPort::deviceName() const
{
    return QStringLiteral("demo port %1").arg(number_);
}

bool InProcessPort::fail(const QString& reason)
{
    error_ = reason;
    return false;
}

sim::UnitMemory demoMemory()
{
    sim::UnitMemory memory;
    memory.phoneCount = 3;
    memory.phones[0] = "0412555101";
    memory.phones[1] = "0412555102";
    memory.phones[2] = "+614125551";
    memory.phones[sim::kTestPhoneSlot] = "0412555199";
    memory.eventMask = "11110000"; // the power events; the inputs are not wired
    memory.messages = {"Depot 4: power 1 is back ON",
                       "Depot 4: power 2 is back ON",
                       "Depot 4: power 1 FAILED\r\nCheck the mains breaker",
                       "Depot 4: power 2 FAILED\r\nCheck the generator",
                       "Depot 4: input 1 opened",
                       "Depot 4: input 2 opened",
                       "Depot 4: input 3 opened",
                       "Depot 4: weekly test, all is well"};
    return memory;
}

std::unique_ptr<InProcessPort> demoUnits()
{
    sim::UnitOptions silent;
    silent.silent = true;
    auto port = std::make_unique<InProcessPort>();
    port->attach(1, std::make_unique<InProcessUnit>(silent));
    port->attach(2, std::make_unique<InProcessUnit>(sim::UnitOptions{}, demoMemory()));
    return port;
}

} // namespace tarvex::demo
