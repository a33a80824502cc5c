#include "app/dialogs.h"

#include "app/dialogs_observer.h"
#include "app/modal_answer.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarvex::app::dialogs {
namespace {

// Where the next file dialog starts: the folder of the last file written or read, at first the
// documents folder.
QString& lastFolder()
{
    static QString folder = [] {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return documents.isEmpty() ? QDir::homePath() : documents;
    }();
    return folder;
}

std::optional<QString> ask(QWidget* parent, const FileRequest& request)
{
    if (Observer* observer = currentObserver())
        return answerAsModal<std::optional<QString>>([&] { return observer->chooseFile(request); });
    const bool saving = request.purpose == FileRequest::Purpose::Save;
    QFileDialog dialog(parent, request.title, request.proposedPath, request.filter);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Added before the dialog asks whether to replace an existing file, so it asks about the
    // file that will be written.
    dialog.setDefaultSuffix(request.suffix.mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> choose(QWidget* parent, const FileRequest& request)
{
    std::optional<QString> path = ask(parent, request);
    if (!path || path->isEmpty())
        return std::nullopt;
    if (!path->endsWith(request.suffix, Qt::CaseInsensitive))
        *path += request.suffix;
    return path;
}

} // namespace

Observer*& currentObserver()
{
    static Observer* observer = nullptr;
    return observer;
}

void setObserver(Observer* observer)
{
    currentObserver() = observer;
}

void rememberFolderOf(const QString& path)
{
    lastFolder() = QFileInfo(path).absolutePath();
}

std::optional<QString> chooseFileToSave(QWidget* parent, const QString& title,
                                        const QString& defaultName, const QString& filter,
                                        const QString& suffix)
{
    return choose(parent, {FileRequest::Purpose::Save, title,
                           QDir(lastFolder()).filePath(defaultName), filter, suffix});
}

std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter)
{
    return choose(parent, {FileRequest::Purpose::Open, title, lastFolder(), filter, QString()});
}

} // namespace tarvex::app::dialogs
