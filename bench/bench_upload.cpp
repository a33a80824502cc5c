// One upload (thirteen exchanges with the product's 200 ms wait) from the unit on DEVICE, for
// the CPU time of the whole process as the system counts it: on Linux, and on Windows or under
// Wine, where the waits must block as well.
//   /usr/bin/time bench_upload DEVICE      (DEVICE: /tmp/unit-link, COM5, ...)
#include "link/line_port.h"
#include "link/link.h"
#include "transfer/configuration.h"
#include "transfer/configuration_transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace tarvex;
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_upload DEVICE\n");
        return 64;
    }
    link::LinePort cm(
        link::PortMap::pinned({{1, link::DeviceName::serial(QString::fromLocal8Bit(argv[1]))}}));
    link::Link exchange(cm);
    if (!cm.SetOpen(true)) {
        std::fprintf(stderr, "bench_upload: %s\n", qPrintable(cm.errorString()));
        return 69;
    }
    transfer::PlainConfigurationView configuration;
    QElapsedTimer wall;
    wall.start();
    transfer::readConfiguration(exchange, configuration);
    std::printf("upload, 13 exchanges: wall %.3f s, phone count %d\n",
                double(wall.nsecsElapsed()) / 1e9, configuration.values.phoneCount);
    return 0;
}
