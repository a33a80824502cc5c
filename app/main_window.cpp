#include "app/main_window.h"

#include "app/about_box.h"
#include "app/dialogs.h"
#include "app/file_flows.h"
#include "app/recent_addresses.h"
#include "app/traffic_log.h"
#include "app/traffic_log_window.h"
#include "app/window_look.h"
#include "link/line_port.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>

namespace tarvex::app {

MainWindow::MainWindow(link::PortMap ports, std::chrono::milliseconds replyWait, QWidget* parent)
    : MainWindow(std::make_unique<link::LinePort>(std::move(ports)), replyWait, parent)
{}

MainWindow::MainWindow(std::unique_ptr<link::Port> port, std::chrono::milliseconds replyWait,
                       QWidget* parent)
    : QMainWindow(parent), form_(new frmMain(std::move(port), replyWait, this)),
      trafficLog_(new TrafficLog(form_->exchange(), this)),
      trafficLogWindow_(new TrafficLogWindow(*trafficLog_, this)), aboutBox_(new AboutBox(this)),
      fileFlows_(new FileFlows(*form_, this))
{
    setWindowTitle(QStringLiteral("Tarvex Configurator - Power Supply Indicator"));
    // A fixed single border: a close button, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(app::windowIcon()); // the artwork, not QWidget::windowIcon()
    setFont(windowFont());            // the menu bar in the form's face
    setCentralWidget(form_);
    buildMenus();
    // The form keeps its own fixed size; the window is that and the menu bar, nothing more.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(&form_->session(), &session::Connection::changed, this, &MainWindow::followConnection);
    followConnection();
    connect(this, &MainWindow::saveConfigurationRequested, fileFlows_,
            &FileFlows::saveUnitConfiguration);
    connect(this, &MainWindow::applyConfigurationRequested, fileFlows_,
            &FileFlows::applyConfigurationFile);
    connect(this, &MainWindow::compareWithFileRequested, fileFlows_, &FileFlows::compareWithFile);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    // Refused while an exchange runs, as a click on Connect is.
    actions_.connectToNetworkUnit =
        file->addAction(QStringLiteral("Connect to &Network Unit..."), this,
                        [this] { form_->session().whenIdle([this] { connectToNetworkUnit(); }); });
    file->addSeparator();
    actions_.saveConfiguration =
        addFileAction(file, QStringLiteral("&Save Unit Configuration As..."),
                      QKeySequence(Qt::CTRL | Qt::Key_S), &MainWindow::saveConfigurationRequested);
    actions_.applyConfiguration =
        addFileAction(file, QStringLiteral("&Apply Configuration File..."),
                      QKeySequence(Qt::CTRL | Qt::Key_O), &MainWindow::applyConfigurationRequested);
    actions_.compareWithFile =
        addFileAction(file, QStringLiteral("&Compare with File..."),
                      QKeySequence(Qt::CTRL | Qt::Key_D), &MainWindow::compareWithFileRequested);
    file->addSeparator();
    actions_.quit = file->addAction(QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                                    this, &MainWindow::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    actions_.trafficLog =
        view->addAction(QStringLiteral("&Traffic Log"), QKeySequence(Qt::CTRL | Qt::Key_L), this,
                        [this] { showWindow(trafficLogWindow_); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    actions_.about = help->addAction(QStringLiteral("&About Tarvex Configurator"), this,
                                     [this] { showWindow(aboutBox_); });
}

// Refused while another exchange runs, as a click on a button is (the action stays enabled).
QAction* MainWindow::addFileAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                                   void (MainWindow::*requested)())
{
    return menu->addAction(text, shortcut, this, [this, requested] {
        session::Connection& connection = form_->session();
        connection.whenIdle([&connection, this, requested] {
            if (connection.isConnected())
                emit(this->*requested)();
        });
    });
}

void MainWindow::connectToNetworkUnit()
{
    const std::optional<link::LineAddress> address =
        dialogs::chooseNetworkAddress(this, recent_addresses::load());
    if (!address)
        return;
    recent_addresses::remember(address->text);
    form_->ConnectTo(link::DeviceName::network(*address));
}

// Whatever connects or loses the unit (a scan, a lost line), the File items follow.
void MainWindow::followConnection()
{
    const bool connected = form_->session().isConnected();
    for (QAction* action :
         {actions_.saveConfiguration, actions_.applyConfiguration, actions_.compareWithFile})
        action->setEnabled(connected);
}

void MainWindow::showWindow(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// A window larger than the screen (1366 x 768 at 150 % or 200 %) keeps its title bar and menu
// bar on the screen: its top-left corner stays on the available area.
void MainWindow::showCentred()
{
    adjustSize();
    const QRect available = screen()->availableGeometry();
    const QPoint centred = available.center() - rect().center();
    move(std::max(centred.x(), available.left()), std::max(centred.y(), available.top()));
    show();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    form_->session().abort();
    trafficLogWindow_->close();
    aboutBox_->close();
    event->accept();
}

} // namespace tarvex::app
