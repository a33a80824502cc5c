#pragma once

#include <QString>

class QProcess;

namespace tarvex::link::ssh_process {

// What differs by system in running the system's ssh. Sets a child up before it starts: on
// POSIX in a process group of its own, so that the terminal's Ctrl-C reaches only us (we end the
// child ourselves, after the exchange in flight), and ended by the system should we die.
void prepare(QProcess& process);

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
