// Soak: N upload + download cycles in one process against an in-process simulated unit, with
// the product's 200 ms reply wait. Prints memory (RSS) and open file descriptors at the start,
// after N/10 cycles and at the end, and the CPU time per cycle: after warm-up nothing may grow.
//   bench_soak [N]   (N defaults to 200)
#include "discovery/port_scan.h"
#include "link/line_port.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "sim/simulated_unit.h"
#include "sim_fleet.h"
#include "transfer/configuration.h"
#include "transfer/configuration_transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

using namespace tarvex;

// Resident set size in megabytes, as the kernel counts it.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toDouble() / 1024.0;
    }
    return -1;
}

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::NoDotAndDotDot | QDir::System)
        .size();
}

struct Checkpoint
{
    int cycles = 0;
    double cpu = 0;
    double wall = 0;
};

void report(const char* when, const Checkpoint& now, const Checkpoint& since)
{
    std::printf("%-18s cycles %4d   RSS %6.1f MB   fds %3lld", when, now.cycles,
                residentMegabytes(), static_cast<long long>(openDescriptors()));
    const int cycles = now.cycles - since.cycles;
    if (cycles > 0)
        std::printf("   cpu/cycle %7.2f ms   wall/cycle %6.3f s",
                    1000 * (now.cpu - since.cpu) / cycles, (now.wall - since.wall) / cycles);
    std::printf("\n");
    std::fflush(stdout);
}

// Numbers that change every cycle, so each write really changes the unit and each read
// shows whether the write before it arrived.
void fillNumbers(transfer::Configuration& values, int cycle)
{
    for (int slot = 0; slot < int(values.phones.size()); ++slot)
        values.phones[slot] = QStringLiteral("%1").arg(cycle * 100 + slot, 10, 10, QChar(u'0'));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    bool ok = true;
    const int cycles = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&ok) : 200;
    if (!ok || cycles < 1) {
        std::fprintf(stderr, "usage: bench_soak [CYCLES]\n");
        return 2;
    }

    sim::SimulatedUnit unit(sim::UnitOptions{});
    if (!unit.start()) {
        std::fprintf(stderr, "bench_soak: %s\n", qPrintable(unit.errorString()));
        return 1;
    }
    link::LinePort cm(link::PortMap::pinned({{1, link::DeviceName::serial(unit.devicePath())}}));
    link::Link exchange(cm);
    if (!discovery::Connect(exchange).found) {
        std::fprintf(stderr, "bench_soak: the unit was not found\n");
        return 1;
    }

    transfer::PlainConfigurationView view;
    view.values.phoneCount = 10; // every slot travels: 13 exchanges each way
    view.values.flags = {true, false, true, false, false, false, false, true};
    std::printf("%d cycles of upload (13 exchanges) + download (13 exchanges), %lld ms wait\n",
                cycles, static_cast<long long>(link::kReplyWait.count()));

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = processCpuSeconds();
    const auto now = [&](int done) {
        return Checkpoint{done, processCpuSeconds() - cpuStart, double(wall.nsecsElapsed()) / 1e9};
    };
    const Checkpoint start = now(0);
    report("start", start, start);
    const int warmUp = std::max(1, cycles / 10);
    Checkpoint warm;
    int mismatches = 0;
    try {
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            fillNumbers(view.values, cycle);
            const transfer::Configuration written = view.values;
            transfer::writeConfiguration(exchange, view);
            view.values = {};
            transfer::readConfiguration(exchange, view);
            if (view.values.phones != written.phones || view.values.flags != written.flags ||
                view.values.phoneCount != written.phoneCount)
                ++mismatches;
            if (cycle == warmUp) {
                warm = now(cycle);
                report("after warm-up", warm, start);
            }
        }
    } catch (const link::LinkError& error) {
        std::fprintf(stderr, "bench_soak: line lost: %s: %s\n", qPrintable(error.device()),
                     qPrintable(error.reason()));
        return 1;
    }
    const Checkpoint end = now(cycles);
    report("end", end, warm);
    std::printf("%-18s %d of %d cycles read back other values than written\n", "mismatches",
                mismatches, cycles);
    return mismatches == 0 ? 0 : 1;
}
