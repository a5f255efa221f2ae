#include "libreoffice.h"

#include <sys/wait.h>

#include <cstdlib>

namespace kyt::test {

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

bool libreOfficeConvert(const std::vector<std::string>& files, const std::string& format, const std::string& outDir,
                        const std::string& profileDir)
{
    std::string command = "timeout 300 soffice -env:UserInstallation=file://" + profileDir +
                          " --headless --norestore --convert-to " + format + " --outdir " + quoted(outDir);
    for (const std::string& f : files)
        command += " " + quoted(f);
    command += " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kyt::test
