#include "line/line_settings.h"
#include "line/windows_system_message.h"
#include "serial/serial_device.h"

#include <windows.h>

namespace tarvex::link {
namespace {

// COM10 and above exist only in the device namespace; COM1 to COM9 are there as well.
QString devicePath(const QString& name)
{
    return name.startsWith(QLatin1String("\\\\")) ? name : QStringLiteral("\\\\.\\") + name;
}

BYTE parityOf(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Odd:
        return ODDPARITY;
    case LineSettings::Parity::Even:
        return EVENPARITY;
    case LineSettings::Parity::None:
        break;
    }
    return NOPARITY;
}

// DTR stays off, and RTS unless it paces the line: the unit needs no modem line.
void setLine(const LineSettings& settings, DCB& dcb)
{
    const bool hardware = settings.flowControl == LineSettings::FlowControl::Hardware;
    const bool software = settings.flowControl == LineSettings::FlowControl::Software;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = parityOf(settings.parity);
    dcb.StopBits = settings.stopBits == LineSettings::StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != LineSettings::Parity::None;
    dcb.fOutxCtsFlow = hardware;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = software;
    dcb.fInX = software;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
}

bool applyLineSettings(HANDLE handle)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return false;
    setLine(kUnitLine, dcb);
    if (!SetCommState(handle, &dcb))
        return false;
    // A read returns at once with what has arrived: the exchange reads when its wait ends.
    // A write is bounded, so a line that stops taking bytes fails instead of hanging.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 2; // ms per byte; one takes about 1 ms at 9600 baud
    timeouts.WriteTotalTimeoutConstant = 1000;
    return SetCommTimeouts(handle, &timeouts) != 0;
}

constexpr DWORD kReadChunk = 4096;

} // namespace

class SerialDevice::Private
{
public:
    HANDLE handle = INVALID_HANDLE_VALUE;
    QString error;
    bool permissionRefused = false;

    bool failWith(DWORD code)
    {
        error = systemMessage(code);
        return false;
    }
    // A failed read or write on an open COM port means its device has gone (an unplugged
    // adapter): the port closes, and the loss is reported once.
    void lose(SerialDevice* device, DWORD code)
    {
        failWith(code);
        closeHandle();
        emit device->lost(error);
    }
    void closeHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

SerialDevice::SerialDevice(QObject* parent) : ByteLine(parent), d(std::make_unique<Private>()) {}

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const QString& name)
{
    d->permissionRefused = false;
    const std::wstring path = devicePath(name).toStdWString();
    d->handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
    if (d->handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A COM port is opened by one program at a time; another one holding it is the usual
        // reason for a refusal, as a missing right is on POSIX.
        d->permissionRefused = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
        return d->failWith(code);
    }
    // Bytes that arrived before the open would be read as the first reply.
    if (!applyLineSettings(d->handle) ||
        !PurgeComm(d->handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT)) {
        const DWORD code = GetLastError();
        d->closeHandle();
        return d->failWith(code);
    }
    return true;
}

void SerialDevice::close()
{
    d->closeHandle();
}

bool SerialDevice::isOpen() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

bool SerialDevice::write(const QByteArray& bytes)
{
    DWORD written = 0;
    if (!WriteFile(d->handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr)) {
        d->lose(this, GetLastError());
        return false;
    }
    if (written != DWORD(bytes.size())) {
        d->error = QStringLiteral("The line took %1 of %2 bytes").arg(written).arg(bytes.size());
        return false;
    }
    return true;
}

std::optional<QByteArray> SerialDevice::readAll()
{
    if (!isOpen())
        return std::nullopt;
    QByteArray received;
    char chunk[kReadChunk];
    DWORD count = 0;
    do {
        if (!ReadFile(d->handle, chunk, kReadChunk, &count, nullptr)) {
            // What came before the failure is still the reply; the loss ends the next exchange.
            d->lose(this, GetLastError());
            if (received.isEmpty())
                return std::nullopt;
            return received;
        }
        received.append(chunk, qsizetype(count));
    } while (count == kReadChunk);
    return received;
}

QString SerialDevice::errorString() const
{
    return d->error;
}

bool SerialDevice::openRefusedForPermission() const
{
    return d->permissionRefused;
}

// What a failed read or write on an unplugged adapter reports; none of it helps.
QString lossDetail(const QString& systemText)
{
    const QString text = systemText.trimmed();
    if (text.isEmpty())
        return {};
    for (const DWORD code :
         {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE,
          ERROR_OPERATION_ABORTED, ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED}) {
        if (text == systemMessage(code))
            return {};
    }
    return text;
}

} // namespace tarvex::link
