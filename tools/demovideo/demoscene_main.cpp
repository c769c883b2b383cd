// rovanta-demoscene: writes the demo's scene file from the demo table.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/scene_text.h"

int main(int argc, char** argv) {
    std::string out;
    CLI::App app{"Writes the demo's scene file from the demo table.", "rovanta-demoscene"};
    setUpCommandLine(app);
    app.add_option("OUT.txt", out, "scene file to write")->required();
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const std::string text = sceneText(demoTable());
    std::FILE* file = std::fopen(out.c_str(), "w");
    if (!file) {
        std::fprintf(stderr, "rovanta-demoscene: %s: cannot write\n", out.c_str());
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "rovanta-demoscene: %s: write failed\n", out.c_str());
        return 1;
    }
    return 0;
}
