#pragma once

// What the window's flow suites share: the main window on pinned pseudo-terminals, the
// technician's hands (hands.h), and a record of the boxes shown and lines sent.

#include "app/frm_main.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/message_edit.h"
#include "app/phone_edit.h"
#include "hands.h"
#include "link/link.h"
#include "link/port_map.h"
#include "support/scripted_unit.h"
#include "support/sim_process.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace flow {

using namespace hands;
using tarvex::app::FormControls;
using tarvex::app::frmMain;
using Icon = tarvex::app::message_box::Icon;

// Long sequences wait this long for each reply, to stay quick; the units in these suites
// answer within a few milliseconds. Each flow also has a case with the product's 200 ms.
inline constexpr std::chrono::milliseconds kQuickWait{40};

// The thirteen lines of an upload, in the order the unit must receive them.
inline const QByteArray kUploadLines =
    QByteArrayLiteral("?N\r?E\r?P0\r?P1\r?P2\r?P3\r?P4\r?P5\r?P6\r?P7\r?P8\r?P9\r?P:\r");

inline tarvex::link::PortMap portOne(const QString& device)
{
    return tarvex::link::PortMap::pinned({{1, tarvex::link::DeviceName::serial(device)}});
}

inline bool show(frmMain& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

// With the keyboard, as the list cannot be typed into: first item, then down count times.
inline void choosePhoneCount(const FormControls& ui, int count)
{
    QTest::keyClick(ui.cmbNumPhones, Qt::Key_Home);
    for (int step = 0; step < count; ++step)
        QTest::keyClick(ui.cmbNumPhones, Qt::Key_Down);
}

// The eight event boxes in the order of the mask on the wire, "1" for ticked.
inline QString flagsShown(const FormControls& ui)
{
    QString flags;
    for (const auto* boxes : {&ui.Check1, &ui.Check2})
        for (const QCheckBox* box : *boxes)
            flags += box->isChecked() ? u'1' : u'0';
    return flags;
}

inline QStringList phonesShown(const FormControls& ui)
{
    QStringList phones;
    for (const auto* box : ui.txtPhone)
        phones << box->text();
    return phones;
}

inline bool editorIsOpen(const FormControls& ui)
{
    return ui.txtEdit->isEnabled() && ui.cmdOK->isEnabled() && ui.cmdCancel->isEnabled() &&
           !ui.FrameEdit->isEnabled();
}

struct ShownBox
{
    Icon icon;
    QString title;
    QString text;
};

// Answers every message box instead of showing it, and remembers it: OK, and a question with
// answerYes (No unless a test says otherwise, as the default button would). Once follow() is
// called it also notes each line the window sends, so that lines and boxes can be checked in
// the order the technician would meet them: a line as sent, a box as "[title]", a question as
// "[title?]".
class Recorder
{
public:
    Recorder()
    {
        tarvex::app::message_box::setObserver(
            [this](Icon icon, const QString& title, const QString& text) {
                const bool question = icon == Icon::Question;
                boxes.append({icon, title, text});
                events << QStringLiteral("[%1%2]").arg(title, question ? "?" : "");
                return !question || answerYes;
            });
    }
    ~Recorder()
    {
        // A box after the end of a test is a fault, but must not block the suite.
        tarvex::app::message_box::setObserver([](Icon, const QString& title, const QString&) {
            qWarning("message box '%s' shown after the test ended", qPrintable(title));
            return false;
        });
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void follow(frmMain& window)
    {
        QObject::connect(&window.exchange(), &tarvex::link::Link::waitStarted, &context_,
                         [this, &window] { events << window.exchange().sentLine(); });
    }

    QStringList titles() const
    {
        QStringList result;
        for (const ShownBox& box : boxes)
            result << box.title;
        return result;
    }

    QList<ShownBox> boxes;
    QStringList events;
    bool answerYes = false;

private:
    QObject context_;
};

// Runs action once, from inside the n-th reply wait (counted from 1) that starts after this
// object is made: what a technician's click during that wait would do.
class DuringWait
{
public:
    DuringWait(frmMain& window, int n, std::function<void()> action) : action_(std::move(action))
    {
        QObject::connect(&window.exchange(), &tarvex::link::Link::waitStarted, &context_,
                         [this, n] {
                             if (++started_ == n)
                                 QTimer::singleShot(0, &context_, [this] {
                                     ran_ = true;
                                     action_();
                                 });
                         });
    }
    bool ran() const { return ran_; }

private:
    QObject context_;
    std::function<void()> action_;
    int started_ = 0;
    bool ran_ = false;
};

// The simulator's memory file, as --state reads and writes it: the ten numbers and the test
// number together, as the unit keeps them. Without messages the unit keeps its own texts.
inline QJsonObject unitState(int phoneCount, const QString& eventMask, const QStringList& phones,
                             const QString& testPhone, const QStringList& messages = {})
{
    QJsonObject state{
        {QStringLiteral("count"), phoneCount},
        {QStringLiteral("mask"), eventMask},
        {QStringLiteral("phones"), QJsonArray::fromStringList(QStringList(phones) << testPhone)},
    };
    if (!messages.isEmpty())
        state.insert(QStringLiteral("messages"), QJsonArray::fromStringList(messages));
    return state;
}

inline bool writeUnitState(const QString& path, const QJsonObject& state)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(QJsonDocument(state).toJson()) > 0;
}

inline QJsonObject readUnitState(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Ten distinct numbers, so a test sees which slot went where: "5550000000" to "5550000009".
inline QStringList distinctPhones()
{
    QStringList phones;
    for (int slot = 0; slot < 10; ++slot)
        phones << QStringLiteral("555000000%1").arg(slot);
    return phones;
}

// A window on port 1 that has found the unit behind it; optionally uploaded once, which
// opens the configuration frame. The window always exists; ready tells whether all went well.
template <class Unit> struct Bench
{
    template <class... Options>
    Bench(std::chrono::milliseconds replyWait, bool uploaded, Options&&... options)
        : unit(std::forward<Options>(options)...)
    {
        const bool started = startUnit();
        w = std::make_unique<frmMain>(portOne(unit.devicePath()), replyWait);
        ui = &w->controls();
        if (!started || !show(*w))
            return;
        click(ui->cmdConnect);
        if (uploaded && ui->cmdUpLoad->isEnabled())
            upload(replyWait);
        ready = ui->cmdUpLoad->isEnabled() && ui->Frame2->isEnabled() == uploaded;
    }

    bool startUnit();
    void upload(std::chrono::milliseconds replyWait);

    Recorder seen;
    Unit unit;
    std::unique_ptr<frmMain> w;
    const FormControls* ui = nullptr;
    bool ready = false;
};

// The scripted unit identifies itself; every other line is for the test to script.
template <> inline bool Bench<ScriptedUnit>::startUnit()
{
    unit.answer("?", "KTX-1\r");
    return unit.start();
}

template <> inline bool Bench<SimProcess>::startUnit()
{
    return unit.start();
}

// Nothing is scripted for the upload's lines yet, so waiting the full time for each is lost;
// the warning that names every control unread then belongs to the set-up, not to the test.
template <> inline void Bench<ScriptedUnit>::upload(std::chrono::milliseconds replyWait)
{
    w->exchange().setReplyWait(std::chrono::milliseconds(1));
    click(ui->cmdUpLoad);
    w->exchange().setReplyWait(replyWait);
    if (seen.titles() == QStringList{QStringLiteral("Upload")}) {
        seen.boxes.clear();
        seen.events.clear();
    }
}

template <> inline void Bench<SimProcess>::upload(std::chrono::milliseconds)
{
    click(ui->cmdUpLoad);
}

// The main window on port 1, connected to the unit behind it.
template <class Unit> struct WindowBench
{
    template <class... Options>
    explicit WindowBench(Options&&... options) : unit(std::forward<Options>(options)...)
    {
        const bool started = unit.start();
        w = std::make_unique<tarvex::app::MainWindow>(portOne(unit.devicePath()), kQuickWait);
        w->show();
        if (!started || !QTest::qWaitForWindowExposed(w.get()))
            return;
        click(ui().cmdConnect);
        ready = ui().cmdUpLoad->isEnabled();
    }
    const FormControls& ui() { return w->form().controls(); }

    Recorder seen;
    Unit unit;
    std::unique_ptr<tarvex::app::MainWindow> w;
    bool ready = false;
};

using ScriptedBench = Bench<ScriptedUnit>;
using SimBench = Bench<SimProcess>;

} // namespace flow
