#include "db/database_files.h"

#include <filesystem>

namespace kyt::db {

bool isDatabaseFile(const std::string& database, const std::string& path)
{
    namespace fs = std::filesystem;
    if (database.empty() || path.empty())
        return false;
    std::error_code ec;
    const fs::path given = fs::weakly_canonical(fs::absolute(path, ec), ec);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::string file = database + suffix;
        std::error_code sameError, nameError;
        if (fs::equivalent(path, file, sameError) ||
            fs::weakly_canonical(fs::absolute(file, nameError), nameError) == given)
            return true;
    }
    return false;
}

}  // namespace kyt::db
