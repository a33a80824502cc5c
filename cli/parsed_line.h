#pragma once

#include <QString>

#include <optional>

namespace tarvex::cli {

// What a command line asked for: a run, or a text to print and the exit code to end with
// (--help, --version, a usage error, whose reason a JSON document can carry too).
template <typename Asked> struct ParsedLine
{
    std::optional<Asked> invocation; // nothing: print text and exit with exitCode
    QString text;
    int exitCode = 0;
    QString usageProblem; // for the JSON document of a usage error
};

} // namespace tarvex::cli
