// The main window around the form: its menus, the File items that follow cmdUpLoad and wait
// their turn, the Traffic Log against tarvex-sim, About, and closing by Quit.
#include "app/about_box.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/traffic_log.h"
#include "app/traffic_log_window.h"
#include "flow_support.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace flow;
using tarvex::app::MainWindow;
using tarvex::app::TrafficLog;
using tarvex::link::PortMap;

namespace {

// Answers the file dialog with one path.
struct FileAnswer : tarvex::app::dialogs::Observer
{
    explicit FileAnswer(QString chosen) : path(std::move(chosen))
    {
        tarvex::app::dialogs::setObserver(this);
    }
    ~FileAnswer() override { tarvex::app::dialogs::setObserver(nullptr); }
    std::optional<QString> chooseFile(const tarvex::app::dialogs::FileRequest&) override
    {
        return path;
    }
    QString path;
};

QMenu* menuTitled(MainWindow& w, const QString& title)
{
    for (QAction* entry : w.menuBar()->actions())
        if (entry->menu() && entry->text().remove(u'&') == title)
            return entry->menu();
    return nullptr;
}

QList<QAction*> fileItems(MainWindow& w)
{
    const auto& items = w.actions();
    return {items.saveConfiguration, items.applyConfiguration, items.compareWithFile};
}

QStringList column(const TrafficLog& log, int column)
{
    QStringList cells;
    for (int row = 0; row < log.rowCount(); ++row)
        cells << log.index(row, column).data().toString();
    return cells;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A disk that is full after bytes, for this process and without privileges: a write beyond
// fails with EFBIG, as long as this lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, before_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        ::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Closing the window must not quit the test runner itself.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The window

    void menusHoldTheirItems_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items"); // a separator as ""
        QTest::addColumn<QStringList>("shortcuts");
        QTest::newRow("File") << "File"
                              << QStringList{"Connect to &Network Unit...",
                                             "",
                                             "&Save Unit Configuration As...",
                                             "&Apply Configuration File...",
                                             "&Compare with File...",
                                             "",
                                             "&Quit"}
                              << QStringList{"", "", "Ctrl+S", "Ctrl+O", "Ctrl+D", "", "Ctrl+Q"};
        QTest::newRow("View") << "View" << QStringList{"&Traffic Log"} << QStringList{"Ctrl+L"};
        QTest::newRow("Help") << "Help" << QStringList{"&About Tarvex Configurator"}
                              << QStringList{""};
    }
    void menusHoldTheirItems()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        QFETCH(QStringList, shortcuts);
        MainWindow w(PortMap::pinned({}));
        QMenu* shown = menuTitled(w, menu);
        QVERIFY(shown);
        QStringList texts;
        QStringList keys;
        for (QAction* item : shown->actions()) {
            texts << item->text();
            keys << item->shortcut().toString();
        }
        QCOMPARE(texts, items);
        QCOMPARE(keys, shortcuts);
    }

    void formSitsUnmovedUnderTheMenuBar()
    {
        frmMain alone(PortMap::pinned({}));
        MainWindow w(PortMap::pinned({}));
        QVERIFY(show(alone));
        w.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        const int menuHeight = w.menuBar()->height();
        QVERIFY(menuHeight > 0);
        QCOMPARE(w.form().geometry(), QRect(0, menuHeight, 682, 552));
        QCOMPARE(w.size(), QSize(682, 552 + menuHeight));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        const QList<QWidget*> before = alone.findChildren<QWidget*>();
        const QList<QWidget*> after = w.form().findChildren<QWidget*>();
        QCOMPARE(after.size(), before.size());
        for (int index = 0; index < before.size(); ++index)
            QVERIFY2(
                after[index]->geometry() == before[index]->geometry(),
                qPrintable(before[index]->objectName() + before[index]->metaObject()->className()));
        QCOMPARE(w.windowTitle(), QString("Tarvex Configurator - Power Supply Indicator"));
        QVERIFY(w.windowIcon().availableSizes().contains(QSize(32, 32)));
    }

    // Also run on a screen too small for the window (tst_main_window_scaled, 200 %): its title
    // and menu bar stay on the screen.
    void windowIsPlacedOnTheScreen()
    {
        MainWindow w(PortMap::pinned({}));
        w.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect available = w.screen()->availableGeometry();
        const QRect frame = w.frameGeometry();
        QVERIFY2(frame.left() >= available.left() && frame.top() >= available.top(),
                 qPrintable(QString("%1,%2 on %3x%4")
                                .arg(frame.left())
                                .arg(frame.top())
                                .arg(available.width())
                                .arg(available.height())));
        if (frame.height() <= available.height() && frame.width() <= available.width())
            QVERIFY(available.contains(frame));
    }

    // The File items

    void fileItemsFollowTheUploadButton()
    {
        WindowBench<ScriptedUnit> bench;
        bench.unit.answer("?", "KTX-1\r");
        const auto enabledItems = [&] {
            int count = 0;
            for (QAction* item : fileItems(*bench.w))
                count += item->isEnabled() ? 1 : 0;
            return count;
        };
        QVERIFY(!bench.ready); // the unit was scripted only after the first scan
        QCOMPARE(enabledItems(), 0);

        click(bench.ui().cmdConnect);
        QVERIFY(bench.ui().cmdUpLoad->isEnabled());
        QCOMPARE(enabledItems(), 3);

        bench.unit.answer("?", "no unit here\r");
        click(bench.ui().cmdConnect);
        QVERIFY(!bench.ui().cmdUpLoad->isEnabled());
        QCOMPARE(enabledItems(), 0);
    }

    void fileItemDuringAnExchangeStartsNothing()
    {
        WindowBench<SimProcess> bench;
        QVERIFY(bench.ready);
        FileAnswer noFile{QString()}; // the flow behind an item that starts asks for a file
        MainWindow& w = *bench.w;
        QSignalSpy saves(&w, &MainWindow::saveConfigurationRequested);
        QSignalSpy applies(&w, &MainWindow::applyConfigurationRequested);
        QSignalSpy compares(&w, &MainWindow::compareWithFileRequested);
        DuringWait duringUpload(w.form(), 2, [&] {
            for (QAction* item : fileItems(w))
                item->trigger();
        });

        click(bench.ui().cmdUpLoad);

        QVERIFY(duringUpload.ran());
        QCOMPARE(saves.count() + applies.count() + compares.count(), 0);
        QTRY_COMPARE(bench.unit.log(), "?\r" + kUploadLines);
        w.actions().compareWithFile->trigger(); // and once the upload is over
        QCOMPARE(compares.count(), 1);
    }

    // The Traffic Log

    void trafficLogListsAnUploadsThirteenExchanges()
    {
        WindowBench<SimProcess> bench;
        QVERIFY(bench.ready);
        bench.w->actions().trafficLog->trigger();
        QVERIFY(bench.w->trafficLogWindow().isVisible());
        QCOMPARE(bench.w->trafficLogWindow().windowTitle(), QString("Traffic Log"));

        click(bench.ui().cmdUpLoad);

        const TrafficLog& log = bench.w->trafficLog();
        QStringList sent;
        for (const QByteArray& line : kUploadLines.split('\r'))
            if (!line.isEmpty())
                sent << QString::fromLatin1(line) + "\\r";
        QCOMPARE(column(log, TrafficLog::Sent),
                 QStringList{"?\\r"} + sent); // Connect's probe first
        QVERIFY(column(log, TrafficLog::Received).first().startsWith("KTX"));
        QVERIFY(column(log, TrafficLog::Received).at(1).startsWith('N'));
        QVERIFY(column(log, TrafficLog::Received).last().startsWith("P:"));
        const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$");
        QVERIFY(time.match(column(log, TrafficLog::Time).last()).hasMatch());
        QVERIFY(QRegularExpression("^\\d+\\.\\d$")
                    .match(column(log, TrafficLog::Duration).last())
                    .hasMatch());
    }

    void trafficLogShowsWhatAFailedConnectTried()
    {
        WindowBench<ScriptedUnit> bench; // nothing answers the identify query
        QVERIFY(!bench.ready);
        QCOMPARE(column(bench.w->trafficLog(), TrafficLog::Sent), QStringList{"?\\r"});
        QCOMPARE(column(bench.w->trafficLog(), TrafficLog::Received), QStringList{""});
    }

    void trafficLogSavesTheTraceFormat()
    {
        WindowBench<SimProcess> bench;
        QVERIFY(bench.ready);
        click(bench.ui().cmdUpLoad);
        QTemporaryDir dir;
        FileAnswer answer(dir.filePath("support.log"));

        click(bench.w->trafficLogWindow().saveAsButton());

        QFile saved(answer.path);
        QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n');
        QCOMPARE(lines.size(), 15); // the probe, thirteen and the end of the last
        const QRegularExpression line(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  %1  sent "\?N\\r"  )"
                           R"(received "N\d\\r"  \d+\.\d ms$)")
                .arg(QRegularExpression::escape(bench.unit.devicePath())));
        QVERIFY2(line.match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
        QVERIFY(bench.seen.boxes.isEmpty());

        answer.path = "/dev/full";
        click(bench.w->trafficLogWindow().saveAsButton());
        QCOMPARE(bench.seen.titles(), QStringList{"Traffic Log"});
        QCOMPARE(bench.seen.boxes.first().icon, Icon::Exclamation);
        QVERIFY(bench.seen.boxes.first().text.contains("/dev/full"));

        // Over the earlier file on a disk that is full: that file stays, and the box says why.
        answer.path = dir.filePath("support.log");
        const QByteArray before = contentOf(answer.path);
        {
            const FileSizeLimit full(before.size() / 2);
            click(bench.w->trafficLogWindow().saveAsButton());
        }
        QCOMPARE(contentOf(answer.path), before);
        QCOMPARE(bench.seen.boxes.size(), 2);
        QVERIFY2(bench.seen.boxes.last().text.endsWith("File too large"),
                 qPrintable(bench.seen.boxes.last().text));
    }

    void trafficLogKeepsTheLatestAndClears()
    {
        MainWindow w(PortMap::pinned({}));
        TrafficLog& log = w.trafficLog();
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int number = 1; number <= TrafficLog::kKept + 5; ++number)
            log.append(now, {"dev", QString::number(number), "", true, 1});

        QCOMPARE(log.rowCount(), TrafficLog::kKept);
        QCOMPARE(log.index(0, TrafficLog::Sent).data().toString(), QString("6"));
        QCOMPARE(log.index(log.rowCount() - 1, TrafficLog::Sent).data().toString(),
                 QString::number(TrafficLog::kKept + 5));

        click(w.trafficLogWindow().clearButton());
        QCOMPARE(log.rowCount(), 0);
        QVERIFY(log.traceLines().isEmpty());
    }

    // About and Quit

    void aboutTellsVersionAndLicenceWithoutBlocking()
    {
        MainWindow w(PortMap::pinned({}));
        w.actions().about->trigger();
        QVERIFY(w.aboutBox().isVisible());
        QVERIFY(!w.aboutBox().isModal());
        QCOMPARE(w.aboutBox().windowTitle(), QString("About Tarvex Configurator"));
        QVERIFY(tarvex::app::AboutBox::text().contains(QStringLiteral(TARVEX_VERSION)));
        QVERIFY(tarvex::app::AboutBox::text().contains("licence"));
    }

    void quitDuringAnUploadEndsItAtOnce()
    {
        WindowBench<SimProcess> bench;
        QVERIFY(bench.ready);
        MainWindow& w = *bench.w;
        w.actions().trafficLog->trigger();
        DuringWait duringFirstPhone(w.form(), 3, [&] { w.actions().quit->trigger(); });

        click(bench.ui().cmdUpLoad);

        QVERIFY(duringFirstPhone.ran());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.trafficLogWindow().isVisible());
        QVERIFY(!w.form().session().isBusy());
        QTest::qWait(200); // longer than the next exchanges would take
        QCOMPARE(bench.unit.log(), QByteArray("?\r?N\r?E\r?P0\r"));
        QVERIFY(bench.seen.boxes.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
