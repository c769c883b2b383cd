// The 3DS reader on arbitrary bytes, then everything the game does with a
// model short of OpenGL: every mesh's counts, corners, normals and local
// matrix, every light's values, a deep copy, a reload, and a draw through a
// recording backend that must see exactly the triangles the meshes give.
#include "fuzz_check.h"

#include "model3ds/draw_backend.h"
#include "model3ds/model3ds.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Folds values into a sink so the getters' reads cannot be optimised away.
volatile float sink;

void use(const ModelVector& v) { sink = v.x + v.y + v.z; }

bool sameTriangle(const DrawTriangle& a, const DrawTriangle& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void traverseMesh(const ModelMesh& mesh)
{
    fuzzCheck(mesh.vertexCount() >= 0 && mesh.uvCount() >= 0 && mesh.triangleCount() >= 0,
              "negative count");
    fuzzCheck(mesh.faceCount() == mesh.triangleCount(), "face and triangle counts differ");
    fuzzCheck(mesh.normalCount() == mesh.vertexCount(), "a vertex without its normal");
    for (int i = -1; i <= mesh.vertexCount(); ++i) {
        use(mesh.vertex(i));
        use(mesh.normal(i));
        sink = mesh.uv(i).u + mesh.uv(i).v;
    }
    for (int j = 0; j < mesh.faceCount(); ++j) {
        const DrawTriangle t = mesh.drawTriangle(j);
        use(t.faceNormal);
    }
    const ModelMatrix matrix = mesh.localMatrix();
    sink = matrix.m[0] + matrix.m[11];
    char name[16];
    const int copied = mesh.copyName(name, sizeof name);
    fuzzCheck(copied >= 0 && copied <= static_cast<int>(sizeof name), "name copy out of range");
}

void traverseLight(const ModelLight& light)
{
    use(light.position());
    use(light.color());
    use(light.target());
    sink = light.hotspot() + light.falloff() + (light.isSpot() ? 1.0f : 0.0f);
}

void traverseModel(const Model3ds& model)
{
    fuzzCheck(model.meshCount() >= 0 && model.lightCount() >= 0, "negative model count");
    for (int i = 0; i < model.meshCount(); ++i) {
        fuzzCheck(model.mesh(i) != nullptr, "missing mesh below the count");
        traverseMesh(*model.mesh(i));
    }
    for (int i = 0; i < model.lightCount(); ++i) {
        fuzzCheck(model.light(i) != nullptr, "missing light below the count");
        traverseLight(*model.light(i));
    }
    fuzzCheck(model.mesh(model.meshCount()) == nullptr && model.light(-1) == nullptr,
              "an object past the ends");
}

// The recorder compares each drawn triangle with the mesh's own, in order.
struct DrawRecord {
    const Model3ds* model = nullptr;
    int depth = 0;
    int mesh = 0;
    int face = 0;
};

void recordPush(void* context) { ++static_cast<DrawRecord*>(context)->depth; }
void recordPop(void* context) { --static_cast<DrawRecord*>(context)->depth; }

void recordTriangle(void* context, const DrawTriangle& triangle)
{
    auto* record = static_cast<DrawRecord*>(context);
    fuzzCheck(record->depth == 1, "triangle drawn outside the model's matrix");
    while (record->face >= record->model->mesh(record->mesh)->faceCount()) {
        ++record->mesh;
        record->face = 0;
        fuzzCheck(record->mesh < record->model->meshCount(), "more triangles drawn than the meshes hold");
    }
    const ModelMesh& mesh = *record->model->mesh(record->mesh);
    fuzzCheck(sameTriangle(triangle, mesh.drawTriangle(record->face)), "drawn triangle differs from the mesh's");
    ++record->face;
}

int totalFaces(const Model3ds& model)
{
    int faces = 0;
    for (int i = 0; i < model.meshCount(); ++i) {
        faces += model.mesh(i)->faceCount();
    }
    return faces;
}

void drawRecorded(Model3ds& model)
{
    DrawRecord record;
    record.model = &model;
    ModelDrawBackend backend{&record, recordPush, recordTriangle, recordPop};
    setModelDrawBackend(&backend);
    model.draw();
    setModelDrawBackend(nullptr);
    fuzzCheck(record.depth == 0, "matrix pushes and pops unbalanced");
    int drawn = record.face;
    for (int i = 0; i < record.mesh && i < model.meshCount(); ++i) {
        drawn += model.mesh(i)->faceCount();
    }
    fuzzCheck(totalFaces(model) == 0 || drawn == totalFaces(model), "fewer triangles drawn than the meshes hold");
}

// The game draws with the local matrix in use as well; corners then move.
void useLocalMatrices(Model3ds& model)
{
    for (int i = 0; i < model.meshCount(); ++i) {
        model.mesh(i)->setUseLocalMatrix(true);
    }
    traverseModel(model);
}

void checkReloadSame(const Model3ds& first, bool loaded, const uint8_t* data, size_t size)
{
    Model3ds again = first;
    fuzzCheck(again.meshCount() == first.meshCount() && again.lightCount() == first.lightCount(),
              "copy lost objects");
    fuzzCheck(again.loadModelData(data, size) == loaded, "reload gave another result");
    fuzzCheck(again.meshCount() == first.meshCount() && again.lightCount() == first.lightCount(),
              "reload read other objects");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Model3ds model;
    const bool loaded = model.loadModelData(data, size);
    fuzzCheck(loaded || model.meshCount() + model.lightCount() == 0, "refused model kept objects");
    traverseModel(model);
    drawRecorded(model);
    checkReloadSame(model, loaded, data, size);
    useLocalMatrices(model);
    drawRecorded(model);
    return 0;
}
