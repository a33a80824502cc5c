// Message texts between the unit's wire form and the editor's.
#include "protocol/wire_text.h"
#include "transfer/message_text.h"

#include <QTest>

using namespace tarvex::transfer;

class TestMessageText : public QObject
{
    Q_OBJECT
private slots:
    void cleansRepliesForTheEditor_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("text");
        QTest::newRow("NUL third") << QString::fromLatin1("M0\0\r", 4) << "";
        QTest::newRow("two characters") << "M0"
                                        << "";
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("ends at NUL") << QString::fromLatin1("M3Mains lost\0\r", 14) << "Mains lost";
        QTest::newRow("no NUL, trailing CR") << "M3Mains lost\r"
                                             << "Mains lost";
        QTest::newRow("no NUL, trailing CR LF") << "M3Mains lost\r\n"
                                                << "Mains lost";
        QTest::newRow("CR LF inside")
            << QString::fromLatin1("M1Line 1\r\nLine 2\0\r", 19) << "Line 1\nLine 2";
        QTest::newRow("lone CR inside") << "M1a\rb"
                                        << "a\nb";
        QTest::newRow("any first two characters") << "xxHello"
                                                  << "Hello";
        QTest::newRow("Latin-1 kept")
            << QString::fromLatin1("M0Caf\xe9 ferm\xe9") << QString::fromLatin1("Caf\xe9 ferm\xe9");
    }
    void cleansRepliesForTheEditor()
    {
        QFETCH(QString, reply);
        QFETCH(QString, text);
        QCOMPARE(tarvex::transfer::editorTextFromReply(reply), text);
    }

    void longTextIsCutToTheEditorsLimitCountingBreaksAsTwo()
    {
        QCOMPARE(tarvex::transfer::editorTextFromReply("M0" + QString(95, 'a')), QString(80, 'a'));
        // 78 characters and a break are exactly 80; the next character no longer fits.
        const QString fits = QString(78, 'b') + "\n";
        QCOMPARE(tarvex::transfer::editorTextFromReply("M0" + QString(78, 'b') + "\r\nc"), fits);
        QCOMPARE(tarvex::protocol::wireLength(fits), 80);
        // 79 characters leave no room for a break.
        QCOMPARE(tarvex::transfer::editorTextFromReply("M0" + QString(79, 'b') + "\r\nc"),
                 QString(79, 'b'));
    }

    void editorLineBreaksGoOutAsCrLf()
    {
        QCOMPARE(wireTextFromEditor("one\ntwo\n"), QString("one\r\ntwo\r\n"));
        QCOMPARE(tarvex::protocol::wireLength("one\ntwo"), 8);
        const QString text = "Power 1\nis back";
        QCOMPARE(tarvex::transfer::editorTextFromReply("M0" + wireTextFromEditor(text) + QChar(0) +
                                                       "\r"),
                 text);
    }
};

QTEST_GUILESS_MAIN(TestMessageText)
#include "tst_message_text.moc"
