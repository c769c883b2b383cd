#include "app/demo_folder.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool holdsScene(const fs::path& folder) {
    std::error_code error;
    return !folder.empty() && fs::is_regular_file(folder / "Scene.txt", error);
}

}  // namespace

std::string findDemoFolder(const std::string& programPath, const std::string& builtFrom) {
    const fs::path installed = fs::path(programPath).parent_path().parent_path() / "share" / "rovanta" / "demo";
    if (!programPath.empty() && holdsScene(installed)) return installed.lexically_normal().string();
    if (holdsScene(builtFrom)) return builtFrom;
    return "";
}

std::string runningProgramPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? "" : self.string();
}
