#include <GL/glu.h>
#include <GL/glut.h>

#include "app/game.h"
#include "app/game_state.h"
#include "world/vec3.h"
#include "world/world.h"

void drawHudText(const char* text, float x, float y) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, glutGet(GLUT_WINDOW_WIDTH), 0, glutGet(GLUT_WINDOW_HEIGHT));
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1, 0, 0);
    glRasterPos2f(x, y);
    for (const char* c = text; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void drawHud() {
    HudValues v;
    v.debugMode = theGame.debugMode;
    if (v.debugMode)
        v.framesPerSecond = updateFramesPerSecond(theGame.fps, glutGet(GLUT_ELAPSED_TIME),
                                                  theGame.frameCounter);
    v.opponentLaps = theWorld.opponentLaps;
    v.playerLap = theWorld.playerLap;
    v.playerSpeed = length(theWorld.player.velocity);
    v.lastCheckpoint = theWorld.lastCheckpoint;
    v.checkpointCount = static_cast<int>(theWorld.checkpoints.size());
    v.bestLapTime = theWorld.bestLapTime;
    v.lastLapTime = theWorld.lastLapTime;
    glColor3f(1, 0, 0);
    const float height = static_cast<float>(glutGet(GLUT_WINDOW_HEIGHT));
    for (const HudLine& line : hudLines(v))
        drawHudText(line.text.c_str(), 0.0f, height - static_cast<float>(line.offsetFromTop));
}
