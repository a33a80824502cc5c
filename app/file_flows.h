#pragma once

#include "provisioning/apply.h"
#include "session/connection.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace tarvex::provisioning {
class UnitSession;
}

namespace tarvex::app {

class frmMain;

// The File menu's work with configuration files, on the form's open connection and through the
// same engine as tarvex-cli: a backup of the unit, a file applied with its differences shown
// first and read back after, and a comparison. Each flow runs as the one sequence talking to
// the unit, files included: they are opened and read off the window's thread, with a wait that
// Cancel and a closing window end. A lost line ends it and is reported by the connection
// first, with its "Connection" box.
class FileFlows : public QObject
{
    Q_OBJECT
public:
    FileFlows(frmMain& form, QWidget* window);

    void saveUnitConfiguration();
    void applyConfigurationFile();
    void compareWithFile();

    // "IDENTITY YYYY-MM-DD.json", with characters a file name cannot hold replaced.
    static QString suggestedFileName(const QString& identity, QDate day);

private:
    using Step = std::function<void(provisioning::UnitSession& session)>;

    // Runs step on the connection with a session over its link. The engine's failures end it
    // with a box titled title; a stop by Cancel ends it quietly.
    session::Connection::Outcome runOnUnit(const QString& title, const Step& step);
    // The result of a step that may block in the system (a FIFO), or nothing when Cancel or a
    // closing window ended the wait first.
    template <typename T> std::optional<T> waitFor(const QString& label, std::function<T()> step);
    // A flow that compares the unit with a file: its title, what it says when they are
    // equal, and whether it offers to write.
    struct Comparison
    {
        QString title;
        QString whenEqual;
        bool mayWrite = false;
    };

    void compareOrApply(const Comparison& flow);
    provisioning::ApplyOutcome applyOnUnit(provisioning::UnitSession& session,
                                           const provisioning::ManagedConfiguration& file,
                                           const Comparison& flow);
    void presentApply(const Comparison& flow, const provisioning::ApplyOutcome& outcome);
    void showUnitValues(const provisioning::UnitValues& unit);
    session::Connection& connection();

    frmMain& form_;
    QWidget* window_;
};

} // namespace tarvex::app
