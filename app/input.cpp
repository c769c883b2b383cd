#include <GL/glu.h>
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/game.h"
#include "app/game_state.h"
#include "app/held_keys.h"
#include "app/video/video.h"
#include "world/keys.h"
#include "world/world.h"

void onSpecialKeyDown(int key, int, int) { pressKey(theKeyFilter, theKeys, key); }

void onSpecialKeyUp(int key, int, int) { releaseKey(theKeyFilter, key); }

namespace {

// In debug mode the new value is printed, for tuning detection to the lighting.
void changeThreshold(int by) {
    theGame.detectionThreshold += by;
    if (!theGame.debugMode) return;
    std::printf("Detection threshold %d\n", theGame.detectionThreshold);
    std::fflush(stdout);
}

}  // namespace

// Only + and - act on the keyboard's repeat of a held key.
void onKeyDown(unsigned char key, int, int) {
    if (isRepeatedPress(theKeyFilter, key) && key != '+' && key != '-') return;
    switch (key) {
        case 27:
            shutdownAndRelease();
            std::exit(0);
        case 'R':
        case 'r':
            theGame.showTitle = false;
            videoCapStart();
            break;
        case '+': changeThreshold(1); break;
        case '-': changeThreshold(-1); break;
        case 'P':
        case 'p': theGame.debugMode = !theGame.debugMode; break;
        default: break;
    }
}

void onKeyUp(unsigned char key, int, int) { releaseCharacter(theKeyFilter, key); }

namespace {

void pickTablePoint(int x, int y) {
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float wy = static_cast<float>(viewport[3] - y);
    GLfloat depth = 1.0f;
    glReadPixels(x, static_cast<int>(wy), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    GLdouble px = 0, py = 0, pz = 0;
    gluUnProject(x, wy, depth, modelview, projection, viewport, &px, &py, &pz);
    theWorld.pickedPoints.push_back(
        PickedPoint{static_cast<float>(px), static_cast<float>(py), static_cast<float>(pz)});
    std::fprintf(stderr, "(%.2f,%.2f,%.2f)\n", px, py, pz);
    std::printf("(%.2f,%.2f,%.2f)\n", px, py, pz);
    std::fflush(stdout);
}

}  // namespace

void onMouse(int button, int state, int x, int y) {
    if (theGame.showTitle || !theGame.debugMode) return;
    if (button != GLUT_LEFT_BUTTON || state != GLUT_DOWN) return;
    pickTablePoint(x, y);
}

void onVisibility(int state) {
    if (state == GLUT_NOT_VISIBLE) glutIdleFunc(nullptr);
    if (state == GLUT_VISIBLE) glutIdleFunc(runFrame);
}
