// Wall time against CPU time of the program's waits: a waiting program must use no CPU.
// Runs against tarvex-sim on a pseudo-terminal with the real 200 ms reply wait, and does the
// same thirteen exchanges a second time with a waiting loop that pumps events without blocking,
// to show what the blocking wait saves.
#include "discovery/port_scan.h"
#include "link/line_port.h"
#include "link/link.h"
#include "protocol/commands.h"
#include "sim/simulated_unit.h"
#include "sim_fleet.h"
#include "transfer/configuration.h"
#include "transfer/configuration_transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <functional>

namespace {

// Returns the CPU seconds the work took.
double measure(const char* name, const std::function<void()>& work)
{
    QElapsedTimer wall;
    const double cpuBefore = processCpuSeconds();
    wall.start();
    work();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    std::printf("%-28s wall %8.4f s   cpu %7.4f s   cpu/wall %6.3f %%\n", name, wallSeconds,
                cpuSeconds, 100.0 * cpuSeconds / wallSeconds);
    return cpuSeconds;
}

// One exchange waited for as a program without an event loop would: pumping events without
// blocking until the reply time has passed. Busy on purpose, only to compare; never wait so.
void busyExchange(tarvex::link::Port& cm, const QString& line)
{
    cm.WriteText(line);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < tarvex::link::kReplyWait.count())
        QCoreApplication::processEvents();
    cm.ReadAll();
}

void measureScans()
{
    using namespace tarvex;
    link::LinePort nothing(link::PortMap::pinned({}));
    link::Link nothingLink(nothing);
    measure("scan, no number opens", [&] { discovery::Connect(nothingLink); });

    link::LinePort system(link::PortMap::system());
    link::Link systemLink(system);
    int probes = 0;
    QObject::connect(&systemLink, &link::Link::waitStarted, [&probes] { ++probes; });
    measure("scan, this PC's ports", [&] { discovery::Connect(systemLink); });
    std::printf("%-28s %d probes of 200 ms\n", "", probes);
    // With no reply wait the scan is all but its first pass.
    link::Link noWait(system, std::chrono::milliseconds(0));
    measure("scan, this PC's, no wait", [&] { discovery::Connect(noWait); });

    sim::UnitOptions silentOptions;
    silentOptions.silent = true;
    sim::SimulatedUnit silent(silentOptions);
    sim::SimulatedUnit unit(sim::UnitOptions{});
    if (!silent.start() || !unit.start())
        return;
    link::LinePort demo(link::PortMap::pinned({{1, link::DeviceName::serial(silent.devicePath())},
                                               {2, link::DeviceName::serial(unit.devicePath())}}));
    link::Link demoLink(demo);
    measure("scan, demo units in-process", [&] { discovery::Connect(demoLink); });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    QProcess sim;
    sim.start(QStringLiteral(TARVEX_SIM_PATH),
              {QStringLiteral("--state"), scratch.filePath(QStringLiteral("state.json"))});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tarvex-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    using namespace tarvex;
    link::LinePort cm(link::PortMap::pinned({{1, link::DeviceName::serial(device)}}));
    link::Link exchange(cm);

    measure("scan, unit on port 1", [&] { discovery::Connect(exchange); });
    measureScans();
    const double blocking = measure("13 exchanges", [&] {
        for (int i = 0; i < 13; ++i)
            exchange.SendAndWait(protocol::phoneCountRead());
    });
    const double busy = measure("13 exchanges, busy pumping", [&] {
        for (int i = 0; i < 13; ++i)
            busyExchange(cm, protocol::phoneCountRead());
    });
    std::printf("%-28s %.0f times the CPU time of the blocking wait\n", "busy pumping takes",
                busy / blocking);
    transfer::PlainConfigurationView configuration;
    configuration.values = {3, {}, {true, false, true, false, false, false, false, true}};
    configuration.values.phones.fill(QStringLiteral("0123456789"));
    measure("download (count 3)", [&] { transfer::writeConfiguration(exchange, configuration); });
    configuration.values.phoneCount = 10;
    measure("download (count 10)", [&] { transfer::writeConfiguration(exchange, configuration); });
    measure("upload", [&] { transfer::readConfiguration(exchange, configuration); });

    sim.terminate();
    sim.waitForFinished();
    return 0;
}
