#include "cli/standard_streams.h"

#include <windows.h>

namespace tarvex::cli::standard_streams {
namespace {

// A console, not merely a character device: _isatty() also says yes for NUL and a printer.
bool isConsole(DWORD stream)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

} // namespace

// A console program on Windows starts with its standard handles, whatever the shell did.
bool reopenClosed()
{
    return false;
}

bool outputIsTerminal()
{
    return isConsole(STD_OUTPUT_HANDLE);
}

bool errorIsTerminal()
{
    return isConsole(STD_ERROR_HANDLE);
}

bool inputIsTerminal()
{
    return isConsole(STD_INPUT_HANDLE);
}

} // namespace tarvex::cli::standard_streams
