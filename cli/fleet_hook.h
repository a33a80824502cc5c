#pragma once

#include <QJsonObject>
#include <QString>

namespace tarvex::cli {

// --on-change: runs command (split as a shell would, without a shell) with summary as JSON on
// its standard input, its output on our standard error, so that --json keeps stdout to one
// document. A hook that cannot start or fails is reported on stderr; the run's result stands.
void runHook(const QString& command, const QJsonObject& summary);

} // namespace tarvex::cli
