#pragma once

#include "app/frm_main.h"
#include "link/port_map.h"

#include <QMainWindow>

#include <chrono>
#include <memory>

class QAction;
class QKeySequence;
class QMenu;

namespace tarvex::app {

class AboutBox;
class FileFlows;
class TrafficLog;
class TrafficLogWindow;

// The menu's items, by what they do.
struct MenuActions
{
    QAction* connectToNetworkUnit = nullptr;
    QAction* saveConfiguration = nullptr;
    QAction* applyConfiguration = nullptr;
    QAction* compareWithFile = nullptr;
    QAction* quit = nullptr;
    QAction* trafficLog = nullptr;
    QAction* about = nullptr;
};

// The program's window: the form (frmMain) as its central area, exactly as laid out, and a
// menu bar above it. It carries the title, the icon and the fixed size, and keeps the traffic
// log from the first exchange on. The three File items that talk to the unit are usable
// exactly while a unit is connected, and like every button start nothing while an exchange
// runs: their signals fire only when the item may start.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(link::PortMap ports, std::chrono::milliseconds replyWait = link::kReplyWait,
                        QWidget* parent = nullptr);
    // Over a port of the caller's: the in-process units of --demo.
    explicit MainWindow(std::unique_ptr<link::Port> port,
                        std::chrono::milliseconds replyWait = link::kReplyWait,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    frmMain& form() { return *form_; }
    const MenuActions& actions() const { return actions_; }
    TrafficLog& trafficLog() { return *trafficLog_; }
    TrafficLogWindow& trafficLogWindow() { return *trafficLogWindow_; }
    AboutBox& aboutBox() { return *aboutBox_; }

    void showCentred();

signals:
    void saveConfigurationRequested();
    void applyConfigurationRequested();
    void compareWithFileRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QAction* addFileAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                           void (MainWindow::*requested)());
    void connectToNetworkUnit();
    void followConnection();
    static void showWindow(QWidget* window);

    frmMain* form_;
    TrafficLog* trafficLog_;
    TrafficLogWindow* trafficLogWindow_;
    AboutBox* aboutBox_;
    FileFlows* fileFlows_;
    MenuActions actions_;
};

} // namespace tarvex::app
