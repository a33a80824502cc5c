#pragma once

#include "provisioning/differences.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace tarvex::link {
class Link;
}

namespace tarvex::provisioning {
class UnitSession;
}

namespace tarvex::app {

class frmMain;

// The File menu's work with configuration files, on the form's open connection and through the
// same engine as tarvex-cli: a backup of the unit, a file applied with its differences shown
// first and read back after, and a comparison. Each flow runs as the one sequence talking to
// the unit; a lost line ends it and is reported by the connection (decision 6).
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
    void runOnUnit(const QString& title, const Step& step);
    void readUnder(provisioning::UnitSession& session, const QString& label,
                   const QList<provisioning::Item>& items, provisioning::UnitValues& unit);
    std::optional<provisioning::ManagedConfiguration> chooseValidFile(const QString& title);
    void compareOrApply(bool mayWrite);
    void writeAndReport(provisioning::UnitSession& session,
                        const provisioning::ManagedConfiguration& file,
                        const QList<provisioning::Change>& changes, provisioning::UnitValues& unit);
    void showUnitValues(const provisioning::UnitValues& unit);

    frmMain& form_;
    QWidget* window_;
};

} // namespace tarvex::app
