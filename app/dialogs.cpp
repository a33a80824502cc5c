#include "app/dialogs.h"

#include "app/dialogs_observer.h"
#include "app/message_box.h"
#include "app/modal_answer.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
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

QString withSuffix(const QString& path, const QString& suffix)
{
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

// Qt's own dialog, on every system, so that a typed name follows the same rules everywhere.
// When saving, the name typed is one name, quotes and all (Qt's dialog would split it at its
// quotes, its way of typing several files), and the suffix is added before the question
// whether to replace the file, so that it asks about the file that will be written.
class FileDialog : public QFileDialog
{
public:
    FileDialog(QWidget* parent, const FileRequest& request)
        : QFileDialog(parent, request.title, request.proposedPath, request.filter),
          saving_(request.purpose == FileRequest::Purpose::Save), suffix_(request.suffix)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::DontConfirmOverwrite, saving_);
        setAcceptMode(saving_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(saving_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    }

    QString chosen() const
    {
        return saving_ || selectedFiles().isEmpty() ? chosen_ : selectedFiles().constFirst();
    }

    void accept() override
    {
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QString typed = edit ? edit->text() : QString();
        if (typed == u'~' || typed.startsWith(QLatin1String("~/")))
            typed.replace(0, 1, QDir::homePath());
        const QFileInfo target(directory(), typed);
        if (!saving_ || typed.isEmpty() || target.isDir()) {
            QFileDialog::accept(); // opens a folder, or takes the file to open
            return;
        }
        const QString path = withSuffix(target.absoluteFilePath(), suffix_);
        if (QFileInfo::exists(path) &&
            !message_box::ask(this, windowTitle(),
                              QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                  .arg(QFileInfo(path).fileName())))
            return;
        chosen_ = path;
        QDialog::accept();
    }

private:
    bool saving_;
    QString suffix_;
    QString chosen_;
};

std::optional<QString> ask(QWidget* parent, const FileRequest& request)
{
    if (Observer* observer = currentObserver())
        return answerAsModal<std::optional<QString>>([&] { return observer->chooseFile(request); });
    FileDialog dialog(parent, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

std::optional<QString> choose(QWidget* parent, const FileRequest& request)
{
    std::optional<QString> path = ask(parent, request);
    if (!path || path->isEmpty())
        return std::nullopt;
    *path = withSuffix(*path, request.suffix);
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
