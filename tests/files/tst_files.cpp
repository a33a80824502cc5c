#include "files/atomic_file.h"
#include "files/bounded_read.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using tarvex::files::AtomicFile;
using tarvex::files::BoundedRead;
using tarvex::files::readBounded;

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    // A file of exactly the bound is read whole; one byte more is refused, and so is a
    // device without end.
    void readStopsAtTheBound_data()
    {
        QTest::addColumn<QByteArray>("content"); // the file's, or none for a missing file
        QTest::addColumn<int>("outcome");
        QTest::newRow("empty") << QByteArray("") << int(BoundedRead::Outcome::Read);
        QTest::newRow("at the bound") << QByteArray(8, 'x') << int(BoundedRead::Outcome::Read);
        QTest::newRow("one byte over") << QByteArray(9, 'x') << int(BoundedRead::Outcome::TooLarge);
        QTest::newRow("missing") << QByteArray() << int(BoundedRead::Outcome::Unreadable);
    }
    void readStopsAtTheBound()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, outcome);
        QTemporaryDir dir;
        const QString path = dir.filePath("f");
        QFile file(path);
        if (!content.isNull())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        const BoundedRead read = readBounded(path, 8);
        QCOMPARE(int(read.outcome), outcome);
        QCOMPARE(read.bytes, read.ok() ? content : QByteArray());
        QCOMPARE(readBounded("/dev/zero", 8).outcome, BoundedRead::Outcome::TooLarge);
    }

    // A write that fails leaves the old file as it was and no temporary file, and says why;
    // so does a direct write to a device.
    void aFailedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("kept");
        AtomicFile first(path);
        QVERIFY(first.open() && first.commit("old"));

        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit smallDisk = before;
        smallDisk.rlim_cur = 4;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &smallDisk), 0);
        AtomicFile second(path);
        const bool committed = second.open() && second.commit("longer than four bytes");
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!committed);
        QCOMPARE(second.errorString(), qt_error_string(EFBIG));
        QCOMPARE(readBounded(path, 8).bytes, QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept"});

        AtomicFile full("/dev/full");
        QVERIFY(full.open());
        QVERIFY(!full.commit("new"));
        QCOMPARE(full.errorString(), qt_error_string(ENOSPC));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
