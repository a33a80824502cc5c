// The tests' sshd for suites that are not C++ (the Ansible playbooks): starts it, prints the
// TARVEX_SSH_COMMAND that reaches it, and keeps it until standard input closes.
#include "support/ssh_server.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    SshServer server;
    if (!server.start()) {
        std::fprintf(stderr, "the test sshd did not start\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(server.sshCommand()));
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
