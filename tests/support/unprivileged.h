#pragma once
// Runs a check as an unprivileged user: CI runs the tests as root, for whom read-only files and folders
// are writable. The check runs in a forked child that dropped to "nobody"; what it returns is its exit
// status. The files it needs must be reachable for that user (see reachableFor).

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace kyt::test {

inline constexpr unsigned kNobody = 65534;

// The child's exit status (the check's result, 0 to 125); 126 when the privileges could not be dropped,
// 127 when it did not end normally.
inline int runUnprivileged(const std::function<int()>& check)
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

// Lets the unprivileged user pass through every folder from / down to `path` (adds search permission).
inline void reachableFor(const std::string& path)
{
    for (std::filesystem::path p = std::filesystem::absolute(path); !p.empty() && p != p.root_path();
         p = p.parent_path()) {
        struct stat info {};
        if (stat(p.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            chmod(p.c_str(), (info.st_mode & 07777) | S_IXOTH);
    }
}

}  // namespace kyt::test
