// rovanta-demoscene: writes the demo's scene file and the mat file it names
// from the demo table.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/scene_text.h"

namespace {

// Written beside its final name and renamed into place once complete.
bool writeText(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    std::FILE* file = std::fopen(part.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) == 0 && written && std::rename(part.c_str(), path.c_str()) == 0) return true;
    std::remove(part.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    CLI::App app{"Writes the demo's scene file (Scene.txt) and the mat file it names into DIR, from the demo table.",
                 "rovanta-demoscene"};
    setUpCommandLine(app);
    app.add_option("DIR", dir, "folder to write them into (the demo folder)")->required();
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const DemoTable& table = demoTable();
    const std::pair<std::string, std::string> files[] = {{dir + "/Scene.txt", sceneText(table)},
                                                         {dir + "/" + table.matFile, matText(table)}};
    for (const auto& [path, text] : files) {
        if (!writeText(path, text)) {
            std::fprintf(stderr, "rovanta-demoscene: %s: cannot write\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
