#include "cli/commands.h"
#include "cli/port_links.h"
#include "cli/unit_choice.h"
#include "serial/system_ports.h"

#include <QJsonArray>
#include <QSerialPortInfo>

namespace tarvex::cli {
namespace {

QJsonObject describePort(int number, const QString& device)
{
    const QString path = link::systemDevicePath(device);
    QJsonObject port{{QStringLiteral("port"), number}, {QStringLiteral("device"), path}};
    const QSerialPortInfo info(device);
    if (!info.description().isEmpty())
        port.insert(QStringLiteral("description"), info.description());
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        port.insert(QStringLiteral("usb"), QStringLiteral("%1:%2")
                                               .arg(info.vendorIdentifier(), 4, 16, QChar(u'0'))
                                               .arg(info.productIdentifier(), 4, 16, QChar(u'0')));
    if (!info.serialNumber().isEmpty())
        port.insert(QStringLiteral("serial"), info.serialNumber());
    const QStringList links = stableLinksTo(path);
    if (!links.isEmpty())
        port.insert(QStringLiteral("links"), QJsonArray::fromStringList(links));
    return port;
}

QString portLine(const QJsonObject& port)
{
    QStringList fields = {QString::number(port.value(QStringLiteral("port")).toInt()),
                          port.value(QStringLiteral("device")).toString()};
    for (const char* key : {"description", "usb", "serial"}) {
        if (port.contains(QLatin1String(key)))
            fields << port.value(QLatin1String(key)).toString();
    }
    for (const QJsonValue& link : port.value(QStringLiteral("links")).toArray())
        fields << link.toString();
    return fields.join(QStringLiteral("  "));
}

} // namespace

void listPorts(const Invocation& invocation, Result& result)
{
    const link::PortMap map = portsToScan(invocation);
    QJsonArray ports;
    for (const int number : map.numbers()) {
        const QJsonObject port = describePort(number, map.deviceFor(number).text());
        ports.append(port);
        result.plainOutput += portLine(port).toUtf8() + '\n';
    }
    result.extra.insert(QStringLiteral("ports"), ports);
}

void scanPorts(const Invocation& invocation, ExchangeLog& log, Result& result)
{
    const discovery::Census census = censusOf(invocation, log);
    QJsonArray units;
    for (const auto& unit : census.units) {
        units.append(QJsonObject{{QStringLiteral("port"), unit.portNumber},
                                 {QStringLiteral("device"), unit.device.text()},
                                 {QStringLiteral("identity"), unit.identity}});
        result.plainOutput += QStringLiteral("%1  %2  %3\n")
                                  .arg(unit.portNumber)
                                  .arg(unit.device.text(), unit.identity)
                                  .toUtf8();
    }
    result.extra.insert(QStringLiteral("units"), units);
    if (census.units.isEmpty())
        failNoUnitFound(census, QStringLiteral("no unit answered"));
    for (const QString& address : census.addressesWithout)
        warn(invocation, log, result, address);
}

} // namespace tarvex::cli
