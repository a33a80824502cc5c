// The window's Apply Configuration File... of docs/example-config.json to a fresh simulated
// unit, with the product's 200 ms reply wait, against the sum of its exchanges' 200 ms windows:
// all the time the flow adds beyond the waits it cannot avoid (goal: at most 1.05 times).
//   bench_window_apply [RUNS]
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "link/link.h"
#include "sim_fleet.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace tarvex;

// Takes the example file and presses Write; shows nothing.
struct Operator : app::dialogs::Observer
{
    std::optional<QString> chooseFile(const app::dialogs::FileRequest&) override
    {
        return QStringLiteral(TARVEX_EXAMPLE_CONFIG);
    }
    bool answer(const app::dialogs::DifferencesRequest&) override { return true; }
};

// One apply to a fresh unit: the ratio of its wall time to its exchanges' windows.
double applyOnce(int run)
{
    QTemporaryDir scratch;
    SimFleet fleet;
    const QStringList devices = fleet.start(1, scratch);
    if (devices.isEmpty())
        return -1;
    app::MainWindow window(link::PortMap::pinned({{1, link::DeviceName::serial(devices.first())}}));
    window.show();
    window.form().controls().cmdConnect->click();
    if (!window.form().controls().cmdUpLoad->isEnabled())
        return -1;
    int exchanges = 0;
    QObject::connect(&window.form().exchange(), &link::Link::waitStarted, [&] { ++exchanges; });
    QString verdict;
    app::message_box::setObserver([&](app::message_box::Icon, const QString&, const QString& text) {
        verdict = text;
        return true;
    });
    QElapsedTimer clock;
    clock.start();
    window.actions().applyConfiguration->trigger();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double windows = exchanges * double(link::kReplyWait.count()) / 1000.0;
    std::printf("run %d  %d exchanges  %.3f s  windows %.3f s  ratio %.4f  (%s)\n", run, exchanges,
                seconds, windows, seconds / windows, qPrintable(verdict));
    return seconds / windows;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Operator hands;
    app::dialogs::setObserver(&hands);
    double worst = 0;
    for (int run = 1; run <= runs; ++run) {
        const double ratio = applyOnce(run);
        if (ratio < 0) {
            std::fprintf(stderr, "bench_window_apply: the simulated unit did not answer\n");
            return 1;
        }
        worst = std::max(worst, ratio);
    }
    std::printf("worst ratio %.4f (goal: at most 1.05)\n", worst);
    return worst <= 1.05 ? 0 : 2;
}
