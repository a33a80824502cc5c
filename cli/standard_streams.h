#pragma once

namespace tarvex::cli::standard_streams {

// Gives each standard stream that was closed when the program started (`>&-`) the null
// device, so that no file or port the program opens takes its number and receives what was
// meant for the stream. True when standard output was among them: its output is then lost,
// and must be reported so.
bool reopenClosed();

// Whether the stream is a terminal, where progress and a bell make sense.
bool outputIsTerminal();
bool errorIsTerminal();
bool inputIsTerminal(); // where a question may be asked

} // namespace tarvex::cli::standard_streams
