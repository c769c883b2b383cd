#include "model3ds/draw_backend.h"
#include "model3ds/model3ds.h"

namespace {

ModelDrawBackend installed;
bool haveBackend = false;

}  // namespace

void setModelDrawBackend(const ModelDrawBackend* backend) {
  haveBackend = backend && backend->pushMatrix && backend->triangle && backend->popMatrix;
  installed = haveBackend ? *backend : ModelDrawBackend{};
}

// The counts are asked again after every triangle and mesh, as a backend
// may look at the model while it draws.
void Model3ds::draw() {
  if (!haveBackend) return;
  installed.pushMatrix(installed.context);
  for (int i = 0; i < meshCount(); ++i) {
    ModelMesh* m = mesh(i);
    for (int j = 0; j < m->faceCount(); ++j) installed.triangle(installed.context, m->drawTriangle(j));
  }
  installed.popMatrix(installed.context);
}
