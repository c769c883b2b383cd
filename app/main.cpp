#include <GL/glut.h>

#include <cstdio>

#include "app/command_line.h"
#include "app/game.h"
#include "app/game_state.h"
#include "display/gl_modes.h"

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    const CommandLine options = parseCommandLine(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "rovanta: %s\n", options.error.c_str());
        return 1;
    }
    theGame.debugMode = options.debugMode;
    theGame.automaticThreshold = !options.fixedThreshold;
    if (options.showAbout) std::fputs(aboutText(), stdout);
    initialiseGame(options.scenePath);
    // The arrow keys are read as held or not once per step; the keyboard's
    // auto-repeat would flicker them up and down while a key is held.
    glutIgnoreKeyRepeat(1);
    glutSpecialFunc(onSpecialKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialUpFunc(onSpecialKeyUp);
    glutVisibilityFunc(onVisibility);
    startMainLoop(onMouse, onKeyDown, runFrame);
}
