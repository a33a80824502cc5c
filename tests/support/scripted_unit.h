#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A pseudo-terminal in this process that answers each complete line with a scripted reply,
// byte for byte, so a test can put any reply, however odd, on a real line. Unscripted lines
// get no answer.
class ScriptedUnit : public QObject
{
    Q_OBJECT
public:
    ScriptedUnit();
    ~ScriptedUnit() override;

    bool start();
    QString devicePath() const { return devicePath_; }

    // line: the command without its CR (a message write without its NUL and CR).
    void answer(const QByteArray& line, const QByteArray& reply) { replies_[line] = reply; }
    QByteArray received() const { return received_; } // every byte, as received
    // Bytes that answer nothing asked now, as the late rest of an earlier reply.
    void sendUnasked(const QByteArray& bytes);
    void hangUp(); // closes the line, as an unplugged unit would

private:
    void onReadable();
    void answerCompleteLines();

    int master_ = -1;
    int slave_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QString devicePath_;
    QMap<QByteArray, QByteArray> replies_;
    QByteArray pending_;
    QByteArray received_;
};
