#include "units/LeftoverCopies.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace imgdl::units {
namespace {

namespace fs = std::filesystem;

// "imgdl-" and mkdtemp's six characters, a folder of this user's, mode 0700, holding
// nothing but the copies ("unit-" and the row's number).
bool IsLeftover(const fs::path& folder) {
    const std::string name = folder.filename().string();
    if (name.size() != 12 || !name.starts_with("imgdl-")) return false;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 0777) != 0700)
        return false;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (!entry.is_regular_file() || !file.starts_with("unit-") ||
            file.find_first_not_of("0123456789", 5) != std::string::npos)
            return false;
    }
    return !ec;
}

// Whether any process this user can see has a file below `folder` open.
bool InUse(const fs::path& folder) {
    const std::string prefix = folder.string() + "/";
    std::error_code ec;
    for (const auto& process : fs::directory_iterator("/proc", ec)) {
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError).string().starts_with(prefix)) return true;
        }
    }
    return false;
}

}  // namespace

std::size_t RemoveLeftoverCopies(const fs::path& temporary) {
    fs::path base = temporary;
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::size_t removed = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        if (!IsLeftover(entry.path()) || InUse(entry.path())) continue;
        std::error_code removeError;
        if (fs::remove_all(entry.path(), removeError) > 0 && !removeError) ++removed;
    }
    return removed;
}

}  // namespace imgdl::units
