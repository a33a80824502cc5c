#include "sim/simulated_unit.h"

#include "sim/regular_file.h"
#include "sim/unit_memory.h"
#include "sim/unit_protocol.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tarvex::sim {

namespace {

QString systemError(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A pseudo-terminal pair in raw mode. The unit keeps a descriptor of the terminal side open
// itself, so that a client closing the device neither hangs the line up nor resets its modes,
// and a later client finds the unit still there, as on a real serial line.
struct PseudoTerminal
{
    int master = -1;
    int slave = -1;
    QString path;

    ~PseudoTerminal() { close(); }

    bool open(QString* error)
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0) {
            *error = systemError(QStringLiteral("cannot open a pseudo-terminal"));
            return false;
        }
        char name[128];
        if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0) {
            *error = systemError(QStringLiteral("cannot unlock the pseudo-terminal"));
            close();
            return false;
        }
        path = QString::fromLocal8Bit(name);
        slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios modes{};
        if (slave < 0 || ::tcgetattr(slave, &modes) != 0) {
            *error = systemError(QStringLiteral("cannot open %1").arg(path));
            close();
            return false;
        }
        // Raw at once: a cooked terminal would turn CR into LF and echo every command.
        ::cfmakeraw(&modes);
        modes.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&modes, B9600);
        ::cfsetospeed(&modes, B9600);
        if (::tcsetattr(slave, TCSANOW, &modes) != 0) {
            *error = systemError(QStringLiteral("cannot set %1 to raw mode").arg(path));
            close();
            return false;
        }
        return true;
    }

    void close()
    {
        closeDescriptor(slave);
        closeDescriptor(master);
    }
};

// Bytes written to the terminal side and not yet read there, or -1.
int unreadByClient(int slave)
{
    int count = -1;
    return ::ioctl(slave, FIONREAD, &count) == 0 ? count : -1;
}

// How long a hangup waits for the client to read the last answer; a client that has closed
// the device never will.
constexpr int kHangupGraceMs = 1000;
constexpr int kHangupCheckMs = 10; // also lets the kernel hand the last bytes to the terminal

// One byte on the unit's line: a start bit, eight data bits and a stop bit at 9600 baud.
constexpr qint64 kByteNanoseconds = 10 * 1'000'000'000LL / 9600;

struct DelayedReply
{
    QDeadlineTimer due;
    QByteArray bytes;
};

} // namespace

class SimulatedUnit::Private
{
public:
    Private(SimulatedUnit* owner, UnitOptions unitOptions)
        : q(owner), options(std::move(unitOptions)), identity(options.identity.toLatin1())
    {
        replyTimer.setSingleShot(true);
        replyTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&replyTimer, &QTimer::timeout, q, [this] { sendDueReplies(); });
        pacer.setTimerType(Qt::PreciseTimer);
        pacer.setInterval(1);
        QObject::connect(&pacer, &QTimer::timeout, q, [this] { sendDueBytes(); });
        hangupTimer.setInterval(kHangupCheckMs);
        QObject::connect(&hangupTimer, &QTimer::timeout, q, [this] { hangUpOnceAnswered(); });
    }

    ~Private() { closeLine(); }

    bool start();
    bool makeLink();
    void receive();
    void handle(const QByteArray& command);
    void send(const QByteArray& bytes);
    void pace(const QByteArray& bytes);
    void sendDueBytes();
    void flush();
    void sendDueReplies();
    void hangUpOnceAnswered();
    void hangUp();
    void closeLine();

    SimulatedUnit* q;
    const UnitOptions options;
    const QByteArray identity;
    PseudoTerminal terminal;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
    QByteArray outgoing;
    QByteArray paced; // --paced: what the line has not carried yet
    QTimer pacer;
    QElapsedTimer pacedSince; // since the line last went busy
    qint64 pacedBytes = 0;    // carried since then
    std::deque<DelayedReply> delayed;
    QTimer replyTimer;
    QTimer hangupTimer; // runs once the last command is in, until its answer has been read
    QDeadlineTimer hangupDeadline{QDeadlineTimer::Forever}; // set once the answer is out
    CommandFramer framer;
    UnitMemory memory;
    QFile log;
    QString error;
    QString devicePath;
    bool linked = false;
    bool started = false;
    bool cutting = false; // --cut-after: the line closes as soon as the event loop runs
    int commands = 0;
};

bool SimulatedUnit::Private::start()
{
    if (!options.statePath.isEmpty()) {
        auto loaded = loadMemory(options.statePath, &error);
        if (!loaded || !saveMemory(options.statePath, *loaded, &error))
            return false;
        memory = *loaded;
    }
    if (!options.logPath.isEmpty()) {
        const auto mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
        if (!openRegularFile(log, options.logPath, mode, &error))
            return false;
    }
    if (!terminal.open(&error) || !makeLink()) {
        closeLine();
        return false;
    }
    devicePath = terminal.path;
    readNotifier = std::make_unique<QSocketNotifier>(terminal.master, QSocketNotifier::Read);
    QObject::connect(readNotifier.get(), &QSocketNotifier::activated, q, [this] { receive(); });
    writeNotifier = std::make_unique<QSocketNotifier>(terminal.master, QSocketNotifier::Write);
    writeNotifier->setEnabled(false);
    QObject::connect(writeNotifier.get(), &QSocketNotifier::activated, q, [this] { flush(); });
    started = true;
    return true;
}

bool SimulatedUnit::Private::makeLink()
{
    if (options.linkPath.isEmpty())
        return true;
    const QFileInfo existing(options.linkPath);
    if (existing.isSymLink()) {
        QFile::remove(options.linkPath); // a link left by an earlier run
    } else if (existing.exists()) {
        error = QStringLiteral("%1 exists and is not a symbolic link").arg(options.linkPath);
        return false;
    }
    if (!QFile::link(terminal.path, options.linkPath)) {
        error = QStringLiteral("cannot link %1 to %2").arg(options.linkPath, terminal.path);
        return false;
    }
    linked = true;
    return true;
}

void SimulatedUnit::Private::receive()
{
    char buffer[512];
    while (terminal.master >= 0) {
        const ssize_t count = ::read(terminal.master, buffer, sizeof buffer);
        if (count <= 0) {
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                qWarning("tarvex-sim: %s", qPrintable(systemError(QStringLiteral("read"))));
            if (count < 0 && errno == EINTR)
                continue;
            return;
        }
        const QByteArray bytes(buffer, count);
        if (log.isOpen())
            log.write(bytes);
        // Once the last command is in, the line is as good as closed: nothing more is handled.
        for (const QByteArray& command : framer.feed(bytes)) {
            if (hangupTimer.isActive() || cutting)
                break;
            handle(command);
        }
    }
}

void SimulatedUnit::Private::handle(const QByteArray& command)
{
    ++commands;
    emit q->commandReceived(command);
    if (options.hangupAfter > 0 && commands >= options.hangupAfter)
        hangupTimer.start();       // closes the line once this command's answer has been read
    UnitMemory forgotten = memory; // what --ignore-writes changes instead of the memory
    const Answer answer =
        answerCommand(command, identity, options.ignoreWrites ? forgotten : memory);
    if (answer.changed && !options.ignoreWrites && !options.statePath.isEmpty() &&
        !saveMemory(options.statePath, memory, &error))
        qWarning("tarvex-sim: %s", qPrintable(error));
    if (options.cutAfter > 0 && commands >= options.cutAfter) {
        // Taken, and its answer lost with the line; closed once out of the notifier's signal.
        cutting = true;
        QMetaObject::invokeMethod(
            q, [this] { hangUp(); }, Qt::QueuedConnection);
        return;
    }
    if (options.silent)
        return;
    if (options.echo)
        send(command);
    if (answer.reply.isEmpty())
        return;
    const QByteArray reply = options.garbage ? kGarbage + answer.reply : answer.reply;
    if (options.delayMs <= 0) {
        send(reply);
        return;
    }
    delayed.push_back({QDeadlineTimer(options.delayMs, Qt::PreciseTimer), reply});
    if (!replyTimer.isActive())
        replyTimer.start(options.delayMs);
}

void SimulatedUnit::Private::sendDueReplies()
{
    while (!delayed.empty() && delayed.front().due.hasExpired()) {
        send(delayed.front().bytes);
        delayed.pop_front();
    }
    if (!delayed.empty())
        replyTimer.start(int(std::max<qint64>(0, delayed.front().due.remainingTime())));
}

void SimulatedUnit::Private::send(const QByteArray& bytes)
{
    if (options.paced) {
        pace(bytes);
        return;
    }
    outgoing.append(bytes);
    flush();
}

void SimulatedUnit::Private::pace(const QByteArray& bytes)
{
    if (paced.isEmpty()) { // the line was idle: its first byte goes now
        pacedSince.start();
        pacedBytes = 0;
    }
    paced.append(bytes);
    sendDueBytes();
    if (!paced.isEmpty() && !pacer.isActive())
        pacer.start();
}

// What the line would have carried by now goes out; counted from the start, so that a late
// tick makes no byte later than the next.
void SimulatedUnit::Private::sendDueBytes()
{
    const qint64 due = pacedSince.nsecsElapsed() / kByteNanoseconds + 1 - pacedBytes;
    const qsizetype count = qsizetype(std::min<qint64>(due, paced.size()));
    if (count > 0) {
        outgoing.append(paced.left(count));
        paced.remove(0, count);
        pacedBytes += count;
        flush();
    }
    if (paced.isEmpty())
        pacer.stop();
}

void SimulatedUnit::Private::flush()
{
    while (!outgoing.isEmpty() && terminal.master >= 0) {
        const ssize_t count = ::write(terminal.master, outgoing.constData(), outgoing.size());
        if (count > 0) {
            outgoing.remove(0, count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && errno == EAGAIN) {
            break; // the terminal side's input is full: go on once it drains
        } else {
            qWarning("tarvex-sim: %s", qPrintable(systemError(QStringLiteral("write"))));
            outgoing.clear();
        }
    }
    if (writeNotifier)
        writeNotifier->setEnabled(!outgoing.isEmpty());
}

void SimulatedUnit::Private::hangUpOnceAnswered()
{
    if (!delayed.empty() || !paced.isEmpty())
        return; // the last answer is still to come
    if (hangupDeadline.isForever()) {
        hangupDeadline = QDeadlineTimer(kHangupGraceMs); // checked from the next tick on
        return;
    }
    const bool read = outgoing.isEmpty() && unreadByClient(terminal.slave) <= 0;
    if (read || hangupDeadline.hasExpired())
        hangUp();
}

void SimulatedUnit::Private::hangUp()
{
    closeLine();
    emit q->hungUp();
}

void SimulatedUnit::Private::closeLine()
{
    replyTimer.stop();
    hangupTimer.stop();
    pacer.stop();
    delayed.clear();
    paced.clear();
    outgoing.clear();
    readNotifier.reset(); // before their descriptor closes
    writeNotifier.reset();
    // Another unit given the same --link may have taken the link over since: it is its now.
    if (linked && QFile::symLinkTarget(options.linkPath) == terminal.path)
        QFile::remove(options.linkPath);
    linked = false;
    terminal.close();
}

SimulatedUnit::SimulatedUnit(UnitOptions options, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(this, std::move(options)))
{}

SimulatedUnit::~SimulatedUnit() = default;

bool SimulatedUnit::start()
{
    if (d->started) {
        d->error = QStringLiteral("the unit has already been started");
        return false;
    }
    d->error.clear();
    return d->start();
}

QString SimulatedUnit::devicePath() const
{
    return d->devicePath;
}

QString SimulatedUnit::errorString() const
{
    return d->error;
}

int SimulatedUnit::commandsReceived() const
{
    return d->commands;
}

} // namespace tarvex::sim
