#include "cli/exit_codes.h"

namespace tarvex::cli {

QString exitCodeHelp()
{
    return QStringLiteral("Exit codes:\n"
                          "  0    done; for diff: no difference\n"
                          "  1    unexpected failure\n"
                          "  2    diff: differences found\n"
                          "  3    written, but the read-back still differs\n"
                          "  64   usage error; or several units answered and none was named\n"
                          "  65   invalid configuration file\n"
                          "  66   configuration file missing or unreadable\n"
                          "  69   no unit answered\n"
                          "  73   output file cannot be written\n"
                          "  74   the line to the unit was lost\n"
                          "  75   the port is busy (held by another program)\n"
                          "  77   permission denied on the port\n"
                          "  130  interrupted\n");
}

} // namespace tarvex::cli
