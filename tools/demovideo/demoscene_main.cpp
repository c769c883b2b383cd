// rovanta-demoscene: writes the demo's scene file and the mat file it names
// from the demo table.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "platform/file_replace.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/scene_text.h"

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
        std::string why;
        if (!replaceFile(path.c_str(), text.data(), text.size(), &why)) {
            std::fprintf(stderr, "rovanta-demoscene: %s: cannot write: %s\n", path.c_str(), why.c_str());
            return 1;
        }
    }
    return 0;
}
