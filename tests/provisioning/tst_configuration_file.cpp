#include "invalid_files.h"
#include "provisioning/backup.h"
#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvex::provisioning;

class TestConfigurationFile : public QObject
{
    Q_OBJECT

private slots:
    void brokenRulesAreNamedByPath_data() { addInvalidFileRows(); }

    void brokenRulesAreNamedByPath()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        const Loaded loaded = loadConfiguration(text);
        QVERIFY(!loaded.configuration);
        QStringList texts;
        for (const Problem& found : loaded.problems)
            texts << found.text();
        QVERIFY2(texts.join(u'\n').contains(problem), qPrintable(texts.join(u'\n')));
    }

    void everyProblemIsReportedAtOnce()
    {
        const Loaded loaded = loadConfiguration(
            wholeFile(R"("phones": {"test": "1"}, "events": {"test": {"enabled": 1}})"));
        QCOMPARE(loaded.problems.size(), 2);
    }

    // The file a read writes must load again as the same configuration, and the shipped
    // example must load: both are what users start from.
    void writtenFilesLoadAgain()
    {
        QFile example(QStringLiteral(TARVEX_EXAMPLE_CONFIG));
        QVERIFY(example.open(QIODevice::ReadOnly));
        const Loaded loaded = loadConfiguration(example.readAll());
        QVERIFY(loaded.problems.isEmpty());
        QCOMPARE(loaded.configuration->numbers->size(), 3);
        QCOMPARE(loaded.configuration->events[7].message,
                 QStringLiteral("Weekly test\nfrom site 12"));

        ManagedConfiguration partial;
        partial.testNumber = QStringLiteral("+919800000");
        partial.events[6].message = QString::fromLatin1("Gr\xfc\xdf"
                                                        "e \"x\"\n\\");
        const Loaded again = loadConfiguration(fileText(partial));
        QVERIFY(again.problems.isEmpty());
        QVERIFY(!again.configuration->numbers);
        QCOMPARE(again.configuration->testNumber, partial.testNumber);
        QCOMPARE(again.configuration->events[6].message, partial.events[6].message);
        QVERIFY(!again.configuration->managesEventMask());
    }

    // Writes go data first, switches last; the mask keeps the flags the file leaves alone.
    void writeOrderAndMaskMerge()
    {
        ManagedConfiguration file;
        file.numbers = QStringList{QStringLiteral("9800000000")};
        file.testNumber = QStringLiteral("9899999999");
        file.events[7] = {true, QStringLiteral("t")};
        UnitValues unit;
        unit.count = 0;
        unit.mask =
            tarvex::protocol::EventMask{false, true, false, false, false, false, false, false};
        unit.phones[0] = unit.phones[10] = QStringLiteral("0000000000");
        unit.messages[7] = QStringLiteral("old");

        using Kind = Item::Kind;
        const QList<Item> order = {{Kind::Phone, 0},
                                   {Kind::Phone, 10},
                                   {Kind::Message, 7},
                                   {Kind::Count, 0},
                                   {Kind::Mask, 0}};
        QCOMPARE(itemsToWrite(differences(unit, file)), order);
        const auto mask = maskToWrite(unit, file);
        QVERIFY(mask[1] && mask[7] && !mask[0]);
    }

    // A backup replaces the old file whole, or fails at its open, before anything is read, with
    // a reason, and leaves nothing behind.
    void filesAreWrittenWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.json"));
        for (const char* text : {"old", "new"}) {
            const BackupFile target(path);
            target.checkOpened(target.opening()());
            target.commit(text);
        }
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("new"));

        const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/unit.json"));
        try {
            const BackupFile target(nowhere);
            target.checkOpened(target.opening()());
            QFAIL("a file was opened in a folder that does not exist");
        } catch (const Failure& failure) {
            QCOMPARE(failure.kind(), Failure::Kind::UnwritableFile);
            QVERIFY(failure.message().startsWith(QStringLiteral("cannot write ") + nowhere));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("unit.json")});
    }
};

QTEST_GUILESS_MAIN(TestConfigurationFile)
#include "tst_configuration_file.moc"
