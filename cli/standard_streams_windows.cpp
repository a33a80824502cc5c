#include "cli/standard_streams.h"

#include <io.h>
#include <stdio.h>

namespace tarvex::cli::standard_streams {

// A console program on Windows starts with its standard handles, whatever the shell did.
bool reopenClosed()
{
    return false;
}

bool outputIsTerminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

bool errorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace tarvex::cli::standard_streams
