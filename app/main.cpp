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
    if (options.showAbout) std::fputs(aboutText(), stdout);
    initialiseGame(options.scenePath);
    // The keyboard's auto-repeat stays on, so that + and - act on every press
    // and repeat while held; held arrow keys are kept held by the input layer.
    glutSpecialFunc(onSpecialKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialUpFunc(onSpecialKeyUp);
    glutVisibilityFunc(onVisibility);
    startMainLoop(onMouse, onKeyDown, runFrame);
}
