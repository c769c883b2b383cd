#include "render/world_drawing.h"

#include <GL/glut.h>

#include <cstdio>

#include "world/keys.h"
#include "world/lap_clock.h"
#include "world/race_rules.h"
#include "world/world_step.h"

namespace {

char labelBuffer[100];

void translateTo(const Vec3& v) {
    glTranslatef(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

void scaleBy(const Vec3& v) {
    glScalef(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

void drawOccluders(const World& world) {
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    for (const Box& box : world.boxes) drawSolidBox(box);
    glPopAttrib();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void setRoutePointColour(const RoutePoint& point, int routeIndex) {
    if (point.index == routeIndex)
        glColor3f(1, 0, 0);
    else
        glColor3f(0, 0, 1);
}

void drawCheckpoints(const World& world) {
    for (const Checkpoint& checkpoint : world.checkpoints) {
        if (checkpoint.passed)
            glColor3f(0, 0.5f, 0);
        else
            glColor3f(0, 1, 0);
        drawSolidBox(checkpoint);
        glColor3f(0, 0, 0);
        drawWireBox(checkpoint);
    }
}

void drawRoute(const World& world) {
    for (const RoutePoint& point : world.route) {
        setRoutePointColour(point, world.routeIndex);
        glPushMatrix();
        translateTo(point.position);
        glScalef(10, 10, 10);
        glutSolidSphere(1.0, 10, 10);
        glPopMatrix();
    }
    glLineWidth(2.0f);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF0F0);
    glBegin(GL_LINE_LOOP);
    for (const RoutePoint& point : world.route) {
        setRoutePointColour(point, world.routeIndex);
        glVertex3f(static_cast<float>(point.position.x), static_cast<float>(point.position.y),
                   static_cast<float>(point.position.z));
    }
    glEnd();
}

void drawPickedPoints(const World& world) {
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 0, 0);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    for (const PickedPoint& p : world.pickedPoints) glVertex3f(p.x, p.y, p.z);
    glEnd();
}

void drawDebugAids(const World& world) {
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(0, 0, 1);
    for (const Box& box : world.boxes) drawWireBox(box);
    glColor3f(1, 0, 0);
    for (const CollisionBox& box : world.collisionBoxes) drawWireBox(box);
    drawCheckpoints(world);
    drawRoute(world);
    drawPickedPoints(world);
    glPopAttrib();
    for (const PickedPoint& p : world.pickedPoints) {
        std::snprintf(labelBuffer, sizeof labelBuffer, "(%.2f,%.2f,%.2f)", p.x, p.y, p.z);
        drawPointLabel(p.x, p.y, p.z);
    }
}

}  // namespace

template <typename Record>
void drawSolidBox(const Record& box) {
    glPushMatrix();
    translateTo(box.centre);
    scaleBy(box.size);
    glutSolidCube(1.0);
    glPopMatrix();
}

template <typename Record>
void drawWireBox(const Record& box) {
    glPushMatrix();
    translateTo(box.centre);
    scaleBy(box.size);
    glutWireCube(1.0);
    glPopMatrix();
}

template void drawSolidBox<Box>(const Box&);
template void drawSolidBox<Checkpoint>(const Checkpoint&);
template void drawWireBox<Box>(const Box&);
template void drawWireBox<CollisionBox>(const CollisionBox&);
template void drawWireBox<Checkpoint>(const Checkpoint&);

void drawPointLabel(float x, float y, float z) {
    glPushMatrix();
    glTranslatef(x, y, z);
    glRotatef(90, 0, 0, 1);
    for (const char* c = labelBuffer; *c; ++c) glutStrokeCharacter(GLUT_STROKE_ROMAN, *c);
    glPopMatrix();
}

void drawCar(Car& car) {
    glPushMatrix();
    translateTo(car.position);
    glRotatef(car.angle, 0, 0, 1);
    scaleBy(car.scale);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, car.texture.glName);
    car.model.draw();
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void updateAndDrawWorld(bool debugMode, int steps) {
    World& world = theWorld;
    for (int i = 0; i < steps && raceStateOf(world) == RaceState::Race; ++i)
        stepWorld(world, theKeys, wallClockSeconds());
    drawOccluders(world);
    if (debugMode) drawDebugAids(world);
    if (world.opponentPresent) drawCar(world.opponent);
    drawCar(world.player);
    glDisable(GL_DEPTH_TEST);
}
