// The Linux benchmark runs its peer, OpenOCD, as the Linux program it is: through the system's
// shell, not the Windows one the program's own C library would start.
#include <spawn.h>
#include <sys/wait.h>

#include <string>

extern char** environ;

int RunUnixCommand(const std::string& command)
{
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int nStatus = 0;
    if (waitpid(pid, &nStatus, 0) != pid)
        return -1;
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}
