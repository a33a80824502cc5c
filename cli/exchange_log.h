#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

#include <memory>

namespace tarvex::link {
class Link;
}

namespace tarvex::cli {

// What every exchange leaves behind: its count, a line in the --trace file (what a support
// person asks a technician for), and the progress line on a terminal.
class ExchangeLog : public QObject
{
    Q_OBJECT
public:
    // Throws Failure (exit 73) when the trace file cannot be opened for appending.
    ExchangeLog(const QString& tracePath, bool showProgress);
    ~ExchangeLog() override;

    bool showsProgress() const { return showProgress_; }

    void watch(link::Link& link, const QString& device);
    void note(const QString& text); // a line in the trace only, e.g. the scan's outcome
    // Throws Failure (exit 73) once a line could not be written to the trace: the record
    // support asks for would be incomplete.
    void checkTrace() const;

    // How many exchanges the current step expects in all, for "exchange k of n".
    void expect(int total) { expected_ = total; }
    int exchanges() const { return count_; }
    void countExchanges(int count) { count_ += count; }

    static QString escaped(const QString& bytes);
    void clearProgress(); // before other text goes to the terminal

private:
    void onWaitStarted(const QString& command);
    void onExchangeEnded(const QString& command, const QString& reply, bool read,
                         const link::Link& link);

    QString tracePath_;
    std::shared_ptr<QFile> trace_; // shared with the open, which may wait for a FIFO's reader
    QString traceLost_;            // why a line could not be written
    bool showProgress_ = false;
    bool progressShown_ = false;
    QString device_;
    QElapsedTimer clock_;
    int count_ = 0;
    int expected_ = 0;
};

} // namespace tarvex::cli
