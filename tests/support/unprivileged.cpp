#include "support/unprivileged.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace kyt::test {

int runUnprivileged(const std::function<int()>& check)
{
    const pid_t pid = fork();
    if (pid < 0)
        return 127;
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
        _exit(check());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}

void reachableFor(const std::string& path)
{
    for (std::filesystem::path p = std::filesystem::absolute(path); !p.empty() && p != p.root_path();
         p = p.parent_path()) {
        struct stat info {};
        if (stat(p.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            chmod(p.c_str(), (info.st_mode & 07777) | S_IXOTH);
    }
}

}  // namespace kyt::test
