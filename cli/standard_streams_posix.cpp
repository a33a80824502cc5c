#include "cli/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace tarvex::cli::standard_streams {

bool reopenClosed()
{
    bool outputClosed = false;
    for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free number: the one just found closed.
        [[maybe_unused]] const int stand_in = ::open("/dev/null", O_RDWR);
        outputClosed = outputClosed || descriptor == STDOUT_FILENO;
    }
    return outputClosed;
}

bool outputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool errorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool inputIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

} // namespace tarvex::cli::standard_streams
