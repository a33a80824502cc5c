#include "cli/fleet_hook.h"

#include "net/shell_words.h"

#include <QJsonDocument>
#include <QProcess>

#include <cstdio>

namespace tarvex::cli {

void runHook(const QString& command, const QJsonObject& summary)
{
    if (command.isEmpty())
        return;
    QString wrong;
    const std::optional<QStringList> words = link::shellWords(command, &wrong);
    if (!words || words->isEmpty()) {
        std::fprintf(stderr, "tarvex-cli fleet: the hook \"%s\" names no command: %s\n",
                     qPrintable(command), qPrintable(wrong));
        return;
    }
    QProcess hook;
    hook.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hook.start(words->first(), words->mid(1));
    if (!hook.waitForStarted(-1)) {
        std::fprintf(stderr, "tarvex-cli fleet: the hook \"%s\" did not start: %s\n",
                     qPrintable(command), qPrintable(hook.errorString()));
        return;
    }
    hook.write(QJsonDocument(summary).toJson(QJsonDocument::Compact) + '\n');
    hook.closeWriteChannel();
    hook.waitForFinished(-1);
    const QByteArray said = hook.readAllStandardOutput();
    std::fwrite(said.constData(), 1, size_t(said.size()), stderr);
    if (hook.exitStatus() != QProcess::NormalExit || hook.exitCode() != 0)
        std::fprintf(stderr, "tarvex-cli fleet: the hook \"%s\" failed (exit %d)\n",
                     qPrintable(command), hook.exitCode());
}

} // namespace tarvex::cli
