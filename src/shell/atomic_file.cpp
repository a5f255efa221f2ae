#include "shell/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kyt {
namespace {

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        int f = fd;
        fd = -1;
        return f;
    }
};

// Removes the temporary file unless the rename has taken it over.
struct TemporaryName {
    std::string path;
    bool keep = false;
    ~TemporaryName()
    {
        if (!path.empty() && !keep)
            ::unlink(path.c_str());
    }
};

std::string describe(const char* what, const std::string& path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

bool writeAll(int fd, std::string_view bytes, int& err)
{
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    namespace fs = std::filesystem;
    // A configuration reached through a symbolic link is replaced at its target, so the link survives.
    std::error_code ec;
    fs::path target = fs::path(path);
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    TemporaryName temp;
    temp.path = (folder / (target.filename().string() + ".XXXXXX")).string();
    FileDescriptor file;
    file.fd = ::mkstemp(temp.path.data());
    if (file.fd < 0) {
        int err = errno;
        temp.path.clear();
        error = describe("cannot create a temporary file in", folder.string(), err);
        return false;
    }

    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    mode_t mode;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(file.fd, mode);

    int err = 0;
    if (!writeAll(file.fd, bytes, err)) {
        error = describe("cannot write", temp.path, err);
        return false;
    }
    if (::fsync(file.fd) != 0) {
        error = describe("cannot flush", temp.path, errno);
        return false;
    }
    if (::close(file.release()) != 0) {
        error = describe("cannot close", temp.path, errno);
        return false;
    }
    if (::rename(temp.path.c_str(), target.c_str()) != 0) {
        error = describe("cannot replace", target.string(), errno);
        return false;
    }
    temp.keep = true;

    // The rename itself reaches the disk only with the folder.
    FileDescriptor dir;
    dir.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir.fd >= 0)
        ::fsync(dir.fd);
    return true;
}

}  // namespace kyt
