// rovanta-demoscene: writes the demo's scene file from the demo table.
#include <cstdio>
#include <string>

#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/scene_text.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: rovanta-demoscene OUT.txt\n", stderr);
        return 2;
    }
    const std::string text = sceneText(demoTable());
    std::FILE* file = std::fopen(argv[1], "w");
    if (!file) {
        std::fprintf(stderr, "rovanta-demoscene: %s: cannot write\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "rovanta-demoscene: %s: write failed\n", argv[1]);
        return 1;
    }
    return 0;
}
