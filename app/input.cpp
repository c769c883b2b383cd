#include <GL/glu.h>
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/game.h"
#include "app/game_state.h"
#include "app/held_keys.h"
#include "app/scene_editing.h"
#include "app/video/video.h"
#include "world/keys.h"
#include "world/scene_edit.h"
#include "world/world.h"

void onSpecialKeyDown(int key, int, int) {
    pressKey(theKeyFilter, theKeys, key);
    editSceneOnSpecialKey(key);
}

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
    if (editSceneOnKey(key)) return;
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
        case 'p':
            theGame.debugMode = !theGame.debugMode;
            if (theGame.debugMode) showEditingKeysOnce();
            break;
        default: break;
    }
}

void onKeyUp(unsigned char key, int, int) { releaseCharacter(theKeyFilter, key); }

namespace {

// Where nothing was drawn the depth read is the far plane's: the point wanted
// is the table's under the pointer.
bool tableUnderPointer(double x, double wy, const GLdouble* modelview, const GLdouble* projection,
                       const GLint* viewport, Vec3& table) {
    Vec3 near, far;
    gluUnProject(x, wy, 0.0, modelview, projection, viewport, &near.x, &near.y, &near.z);
    gluUnProject(x, wy, 1.0, modelview, projection, viewport, &far.x, &far.y, &far.z);
    return tablePointOnRay(near, far, table);
}

void pickTablePoint(int x, int y) {
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float wy = static_cast<float>(viewport[3] - y);
    GLfloat depth = 1.0f;
    glReadPixels(x, static_cast<int>(wy), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    Vec3 p;
    if (depth < 1.0f) {
        gluUnProject(x, wy, depth, modelview, projection, viewport, &p.x, &p.y, &p.z);
    } else if (!tableUnderPointer(x, wy, modelview, projection, viewport, p)) {
        std::printf("No table point under the pointer (it points above the horizon)\n");
        std::fflush(stdout);
        return;
    }
    theWorld.pickedPoints.push_back(
        PickedPoint{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    std::fprintf(stderr, "(%.2f,%.2f,%.2f)\n", p.x, p.y, p.z);
    std::printf("(%.2f,%.2f,%.2f)\n", p.x, p.y, p.z);
    std::fflush(stdout);
}

}  // namespace

void onMouse(int button, int state, int x, int y) {
    if (theGame.showTitle || !theGame.debugMode) return;
    if (button != GLUT_LEFT_BUTTON || state != GLUT_DOWN) return;
    if (!theGame.worldShown) {
        std::printf("No marker in view: no table point picked\n");
        std::fflush(stdout);
        return;
    }
    pickTablePoint(x, y);
}

void onVisibility(int state) {
    if (state == GLUT_NOT_VISIBLE) glutIdleFunc(nullptr);
    if (state == GLUT_VISIBLE) glutIdleFunc(runFrame);
}
