// How exchanges read in a trace: the escaping of their bytes and the line they make.
#include "link/exchange_trace.h"

#include <QTest>
#include <QTimeZone>

using namespace tarvex::link;

class TestExchangeTrace : public QObject
{
    Q_OBJECT
private slots:
    void escaping_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("printable ASCII as is") << "?P0 +44 ~"
                                               << "?P0 +44 ~";
        QTest::newRow("CR and LF by name") << "N3\r\n"
                                           << "N3\\r\\n";
        QTest::newRow("backslash doubled") << "a\\b"
                                           << "a\\\\b";
        QTest::newRow("NUL, other controls and DEL in hex")
            << QString("M1x") + QChar(0) + "\x07\x1b\x7f"
            << "M1x\\x00\\x07\\x1b\\x7f";
        QTest::newRow("beyond ASCII in hex") << QString("caf\u00e9\u00ff") << "caf\\xe9\\xff";
    }
    void escaping()
    {
        QFETCH(QString, bytes);
        QFETCH(QString, shown);
        QCOMPARE(escaped(bytes), shown);
    }

    // What a message quotes of received bytes: escaped alike, and a flood cut to a line.
    void quoting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("a reply whole") << QByteArray("\xff\xfbN3\r") << R"("\xff\xfbN3\r")";
        QTest::newRow("a flood cut, with its length")
            << QByteArray(5000, '\xff')
            << QString("\"") + QString("\\xff").repeated(48) + "...\" (5000 bytes)";
    }
    void quoting()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, quoted);
        QCOMPARE(quotedExcerpt(bytes), quoted);
    }

    void exchangeText_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("text");
        QTest::newRow("reply read")
            << true << R"(/dev/pts/3  sent "?N\r"  received "N3\r"  200.4 ms)";
        QTest::newRow("read failed")
            << false << R"(/dev/pts/3  sent "?N\r"  read failed  200.4 ms)";
    }
    void exchangeText()
    {
        QFETCH(bool, read);
        QFETCH(QString, text);
        QCOMPARE(traceText({"/dev/pts/3", "?N\r", "N3\r", read, 200.44}), text);
    }

    void lineIsStampedInUtcToTheMillisecond()
    {
        const QDateTime at(QDate(2026, 12, 8), QTime(15, 4, 5, 67), QTimeZone(3600));
        QCOMPARE(traceLine(at, "scan found nothing"),
                 QString("2026-12-08T14:04:05.067Z  scan found nothing\n"));
    }
};

QTEST_GUILESS_MAIN(TestExchangeTrace)
#include "tst_exchange_trace.moc"
