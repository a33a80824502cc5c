#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// tarvex-sim run as a separate process for a test: started with a fresh --log file (and any
// extra options), stopped when this object goes away.
class SimProcess
{
public:
    explicit SimProcess(QStringList extraArguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool start();               // true once the simulator has printed its device path
    QString devicePath() const; // the terminal side to open
    QByteArray log() const;     // every byte the simulator has received so far
    QString logPath() const;
    QString scratchPath(const QString& name) const; // a file in this test's temporary folder
    void stop();                                    // terminates the simulator and waits for it

    static QString executable(); // from TARVEX_SIM

private:
    QTemporaryDir scratch_;
    QStringList arguments_;
    QProcess process_;
    QString devicePath_;
};
