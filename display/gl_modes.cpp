#include "display/gl_modes.h"

#include <GL/glut.h>

#include <cstdlib>
#include <ctime>

#include "display/video_display.h"

namespace {

MouseCallback storedMouse = nullptr;
KeyboardCallback storedKeyboard = nullptr;
IdleCallback storedDisplay = nullptr;
IdleCallback storedIdle = nullptr;

void resetStencil() {
    glDisable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void sleepMilliseconds(long ms) {
    timespec delay{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

// Both buffers black before the first real frame, then the game's callbacks take over.
void firstDisplay() {
    sleepMilliseconds(500);
    set2DMode();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    if (storedKeyboard) glutKeyboardFunc(storedKeyboard);
    if (storedMouse) glutMouseFunc(storedMouse);
    if (storedDisplay) glutDisplayFunc(storedDisplay);
    if (storedIdle) glutIdleFunc(storedIdle);
}

}  // namespace

void set2DMode() {
    const DisplayState& d = displayState();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, d.windowWidth, 0, d.windowHeight, -1, 1);
    glViewport(0, 0, d.windowWidth, d.windowHeight);
    resetStencil();
}

void set3DMode() {
    const DisplayState& d = displayState();
    const int viewWidth = static_cast<int>(d.zoom * d.cameraParam.width);
    const int viewHeight = static_cast<int>(d.cameraParam.height * d.zoom);
    glViewport(0, d.windowHeight - viewHeight, viewWidth, viewHeight);
    resetStencil();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(d.glProjection);
}

void loadIdentityModelview() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void clearMainLoopCallbacks() {
    storedMouse = nullptr;
    storedKeyboard = nullptr;
    storedDisplay = nullptr;
    storedIdle = nullptr;
}

void startMainLoop(MouseCallback mouse, KeyboardCallback keyboard, IdleCallback idle) {
    startMainLoop(mouse, keyboard, idle, idle);
}

void startMainLoop(MouseCallback mouse, KeyboardCallback keyboard, IdleCallback display, IdleCallback idle) {
    storedMouse = mouse;
    storedKeyboard = keyboard;
    storedDisplay = display;
    storedIdle = idle;
    glutDisplayFunc(firstDisplay);
    glutMainLoop();
    std::exit(0);
}
