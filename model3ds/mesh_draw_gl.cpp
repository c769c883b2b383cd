#include "model3ds/mesh_draw_gl.h"

#include <GL/gl.h>

#include "model3ds/draw_backend.h"

namespace {

void pushMatrix(void*) { glPushMatrix(); }
void popMatrix(void*) { glPopMatrix(); }

// One begin/end pair per triangle, corners a, b, c; v is passed as stored.
void drawOne(void*, const DrawTriangle& t) {
  glBegin(GL_TRIANGLES);
  for (int k = 0; k < 3; ++k) {
    glTexCoord2f(t.uv[k].u, t.uv[k].v);
    glNormal3f(t.normal[k].x, t.normal[k].y, t.normal[k].z);
    glVertex3f(t.vertex[k].x, t.vertex[k].y, t.vertex[k].z);
  }
  glEnd();
}

}  // namespace

void installGlModelDrawBackend() {
  ModelDrawBackend backend;
  backend.pushMatrix = pushMatrix;
  backend.triangle = drawOne;
  backend.popMatrix = popMatrix;
  setModelDrawBackend(&backend);
}
