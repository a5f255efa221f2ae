#include "shell/user_manual.h"

#include <filesystem>
#include <system_error>

namespace kyt {

std::string UserManualPath()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& pdf : {ec ? fs::path() : program.parent_path() / "docs" / "manual.pdf", fs::path(KYT_MANUAL_PDF)})
        if (!pdf.empty() && fs::exists(pdf, ec))
            return pdf.string();
    return KYT_MANUAL_TEXT;
}

std::string UserManualLine()
{
    return "The user's manual: " + UserManualPath();
}

}  // namespace kyt
