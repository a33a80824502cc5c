#include "net/shell_words.h"
#include "net/ssh_command.h"
#include "net/ssh_failure.h"

#include <QTest>

using tarvex::link::SshFailure;
using tarvex::link::SshLogin;

Q_DECLARE_METATYPE(SshFailure::Kind)

// What we ask of ssh, and how we read what it says when it fails: one row per rule.
class TestSshCommand : public QObject
{
    Q_OBJECT
private slots:
    void linesAskSshForTheirChannel_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("arguments");
        QTest::newRow("tunnel, own choice of user and port")
            << "" << -1 << "127.0.0.1:4001"
            << "-o BatchMode=yes -v -o ControlPath=/p -o ControlMaster=no -W 127.0.0.1:4001 gw";
        QTest::newRow("console port: the colon stays in the user")
            << "admin:port05" << 2222 << ""
            << "-o BatchMode=yes -v -o ControlPath=/p -o ControlMaster=no -p 2222 -l "
               "admin:port05 gw";
    }
    void linesAskSshForTheirChannel()
    {
        QFETCH(QString, user);
        QFETCH(int, port);
        QFETCH(QString, target);
        QFETCH(QString, arguments);
        SshLogin login{user, QStringLiteral("gw"), {}};
        if (port > 0)
            login.port = quint16(port);
        QCOMPARE(tarvex::link::sshLineArguments(login, "/p", target).join(u' '), arguments);
    }

    // TARVEX_SSH_COMMAND and --on-change: split as a shell would, nothing expanded. The words
    // are joined by "|" to compare; "refused" rows give what the refusal says.
    void commandsSplitAsAShellWould_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("words");
        QTest::newRow("blanks") << " ssh  -F\t/etc/c "
                                << "ssh|-F|/etc/c";
        QTest::newRow("single quotes hold all") << "ssh -o 'ProxyCommand=ssh -W %h:%p \\jump $X'"
                                                << "ssh|-o|ProxyCommand=ssh -W %h:%p \\jump $X";
        QTest::newRow("double quotes, escapes") << "mail -s \"a \\\"b\\\" \\c\" x"
                                                << "mail|-s|a \"b\" \\c|x";
        QTest::newRow("backslash outside") << "a\\ b c\\'d"
                                           << "a b|c'd";
        QTest::newRow("a Windows path stays") << "C:\\OpenSSH\\ssh.exe -F C:\\t\\c"
                                              << "C:\\OpenSSH\\ssh.exe|-F|C:\\t\\c";
        QTest::newRow("an empty quoted word") << "a '' b"
                                              << "a||b";
        QTest::newRow("quotes inside a word") << "-o'User=a b'\"c\""
                                              << "-oUser=a bc";
        QTest::newRow("unclosed single quote") << "ssh 'x"
                                               << "refused: a ' is not closed";
        QTest::newRow("unclosed double quote") << "ssh \"x"
                                               << "refused: a \" is not closed";
        QTest::newRow("lone backslash at the end") << "ssh x\\"
                                                   << "refused: it ends in a lone \\";
    }
    void commandsSplitAsAShellWould()
    {
        QFETCH(QString, command);
        QFETCH(QString, words);
        QString wrong;
        const std::optional<QStringList> split = tarvex::link::shellWords(command, &wrong);
        QCOMPARE(split ? split->join(u'|') : QStringLiteral("refused: ") + wrong, words);
    }

    void theSharedConnectionNeverWeakensHostKeys()
    {
        const QStringList arguments =
            tarvex::link::sshSharedConnectionArguments({{}, QStringLiteral("gw"), {}}, "/p");
        QVERIFY(arguments.contains("BatchMode=yes"));
        for (const QString& argument : arguments)
            QVERIFY2(!argument.contains("HostKey", Qt::CaseInsensitive), qPrintable(argument));
    }

    void sshFailuresAreNamed_data()
    {
        QTest::addColumn<QString>("standardError");
        QTest::addColumn<SshFailure::Kind>("kind");
        QTest::addColumn<QString>("says");
        using Kind = SshFailure::Kind;
        QTest::newRow("refused") << "ssh: connect to host gw port 22: Connection refused\r\n"
                                 << Kind::Unreachable << "cannot reach the SSH host gw";
        QTest::newRow("no such host")
            << "ssh: Could not resolve hostname gw: Name or service not known\n"
            << Kind::Unreachable << "Could not resolve hostname";
        QTest::newRow("unknown key") << "Host key verification failed.\n"
                                     << Kind::HostKeyUnknown << "ssh-keyscan gw";
        QTest::newRow("changed key")
            << "@ WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! @\nThe fingerprint for the "
               "ED25519 key sent by the remote host is\nSHA256:abc+/1.\nHost key verification "
               "failed.\n"
            << Kind::HostKeyChanged << "it now shows SHA256:abc+/1";
        QTest::newRow("login refused") << "debug1: x\nroot@gw: Permission denied (publickey).\n"
                                       << Kind::LoginRefused << "(root@gw: Permission denied";
        QTest::newRow("target refused")
            << "Stdio forwarding request failed: Session open refused by peer\n"
            << Kind::TargetRefused << "could not connect to ts:4001";
        QTest::newRow("target not permitted")
            << "channel 2: open failed: administratively prohibited: open failed\n"
            << Kind::TargetRefused << "forwarding there is not permitted";
        QTest::newRow("anything else") << "debug1: y\nsomething odd\ndebug1: z\n"
                                       << Kind::Other << "ssh to gw: something odd";
    }
    void sshFailuresAreNamed()
    {
        QFETCH(QString, standardError);
        QFETCH(SshFailure::Kind, kind);
        QFETCH(QString, says);
        const SshFailure failure = tarvex::link::sshFailureOf(standardError, "gw", "ts:4001");
        QCOMPARE(failure.kind, kind);
        QVERIFY2(failure.message.contains(says), qPrintable(failure.message));
    }
};

QTEST_GUILESS_MAIN(TestSshCommand)
#include "tst_ssh_command.moc"
