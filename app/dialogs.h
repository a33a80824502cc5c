#pragma once

#include "net/line_address.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QProgressDialog;
class QWidget;

// The dialogs of the file flows: a file to save or open, a progress with Cancel, and the
// differences between the unit and a file; and the address of a unit behind a terminal server. Like
// message boxes (message_box.h), each goes through here, so that a test can watch it and answer it
// without a real dialog. Everything they show is plain text.
namespace tarvex::app::dialogs {

struct FileRequest
{
    enum class Purpose { Save, Open };

    Purpose purpose = Purpose::Open;
    QString title;
    QString proposedPath; // the folder last used, with the default name when saving
    QString filter;       // as QFileDialog takes it: "Configuration files (*.json)"
    QString suffix;       // when saving: added to a name that lacks it (".json"); may be empty
};

struct ProgressStep
{
    QString label;
    int value = 0;
    int maximum = 0;
};

struct DifferenceRow
{
    QString item;
    QString onUnit;
    QString inFile;
};

struct DifferencesRequest
{
    QString title;
    QList<DifferenceRow> rows;
    QString note;             // a line under the table; none when empty
    bool offersWrite = false; // "Write" and "Cancel" (the default), or a single "Close"
};

struct AddressRequest
{
    QString title;
    QStringList recent; // offered in the list, most recent first
    QString refusal;    // why the address given last was refused; empty at first
};

// Answers in the operator's place. The defaults are what a hasty operator's Enter or Escape
// gives: no file, no Cancel, and no Write.
class Observer
{
public:
    virtual ~Observer() = default;

    // The path chosen, or nothing for Cancel.
    virtual std::optional<QString> chooseFile(const FileRequest&) { return std::nullopt; }
    // Whether Cancel is pressed once the progress shows step.
    virtual bool cancelAt(const ProgressStep&) { return false; }
    // Whether "Write" is pressed.
    virtual bool answer(const DifferencesRequest&) { return false; }
    // The address typed or picked, or nothing for Cancel. Asked again, with the refusal, while
    // the address given is malformed, as the dialog stays open.
    virtual std::optional<QString> chooseAddress(const AddressRequest&) { return std::nullopt; }
};

// With an observer set, dialogs are handed to it instead of being shown. nullptr resets.
void setObserver(Observer* observer);

// Asks where to save, proposing defaultName in the folder last used; suffix (".json", or
// nothing) is added when the chosen name lacks it. Nothing when cancelled.
// The folder last used is the folder of the last file written or read there: a choice alone
// remembers nothing, so a folder that failed (/proc) is never offered again.
std::optional<QString> chooseFileToSave(QWidget* parent, const QString& title,
                                        const QString& defaultName, const QString& filter,
                                        const QString& suffix);

// Asks for a file to open, starting in the folder last used. Nothing when cancelled.
std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter);

// The next file dialog starts in path's folder: a file was written or read there.
void rememberFolderOf(const QString& path);

// Shows the differences as a table (item, on the unit, in the file); true when "Write" is
// pressed.
bool showDifferences(QWidget* parent, const DifferencesRequest& request);

// Asks for a network address (tcp://HOST:PORT, rfc2217://HOST:PORT) in an editable list of the
// recent ones; a malformed one is refused with what is wrong with it. Nothing when cancelled.
std::optional<link::LineAddress> chooseNetworkAddress(QWidget* parent, const QStringList& recent);

// A progress over a sequence of exchanges, shown while it exists. Its Cancel stops nothing by
// itself: the sequence asks wasCanceled() after each exchange, so the one in flight ends. With
// maximum 0 it is a wait of unknown length (a file), shown only when it lasts, that Cancel
// ends through onCancel.
class Progress
{
public:
    Progress(QWidget* parent, const QString& label, int maximum);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void setValue(int value);
    bool wasCanceled() const;
    void onCancel(std::function<void()> canceled);

private:
    void cancel();

    ProgressStep step_;
    std::function<void()> onCancel_;
    bool canceled_ = false;            // as the observer answered
    QPointer<QProgressDialog> dialog_; // none while observed
};

} // namespace tarvex::app::dialogs
