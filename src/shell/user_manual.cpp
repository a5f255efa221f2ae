#include "shell/user_manual.h"

#include <filesystem>
#include <system_error>

namespace kyt {

std::string UserManualPath()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    const fs::path beside = program.parent_path() / "docs" / "manual.pdf";
    if (!ec && fs::exists(beside, ec))
        return beside.string();
    return (fs::path(KYT_DOCS_DIR) / "manual.pdf").string();
}

std::string UserManualLine()
{
    return "The user's manual: " + UserManualPath();
}

}  // namespace kyt
