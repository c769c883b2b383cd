// rovanta-demoscene: writes the demo's scene file from the demo table.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "platform/file_replace.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/scene_text.h"

int main(int argc, char** argv) {
    std::string out;
    CLI::App app{"Writes the demo's scene file from the demo table.", "rovanta-demoscene"};
    setUpCommandLine(app);
    app.add_option("OUT.txt", out, "scene file to write")->required();
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const std::string text = sceneText(demoTable());
    std::string why;
    if (replaceFile(out.c_str(), text.data(), text.size(), &why)) return 0;
    std::fprintf(stderr, "rovanta-demoscene: %s: cannot write: %s\n", out.c_str(), why.c_str());
    return 1;
}
