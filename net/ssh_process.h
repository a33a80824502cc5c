#pragma once

#include <QString>

class QProcess;

namespace tarvex::link::ssh_process {

// What differs by system in running the system's ssh. Sets a child up before it starts so that
// the terminal's Ctrl-C reaches only us (we end the child ourselves, after the exchange in
// flight), and so that the system ends it should we die: on POSIX a process group of its own
// and a parent-death signal, on Windows a process group of its own inside a job object that
// ends its processes when our last handle to it closes.
void prepare(QProcess& process);

// Ends a running child and waits for it: on POSIX asked first (ssh then closes its connection
// cleanly), on Windows at once (a console program has no window to be asked through).
void stop(QProcess& process);

// Whether many sessions to one SSH host can share one connection (OpenSSH's ControlMaster, over
// a Unix socket); Windows' ssh.exe offers none, so each line there has a connection of its own.
bool sharesConnections();

// Each line through ssh holds pipes to its child, a fleet's many lines many of them: lets this
// program open as many descriptors as the system allows it (POSIX: the soft limit raised to the
// hard one; Windows has no such limit). Harmless to call again.
void allowManyChildren();

// What to install when there is no ssh program.
QString installHint();

} // namespace tarvex::link::ssh_process
