// The 3DS reader on arbitrary bytes, then everything the game does with a
// model short of OpenGL: every mesh's counts, corners, normals and local
// matrix, every light's values, a deep copy, a reload, and a draw through a
// recording backend that must see exactly the triangles the meshes give.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "model3ds/draw_backend.h"
#include "model3ds/model3ds.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

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

// What the model holds stays a small multiple of its file: every element
// comes from its own bytes, and the number of objects is bounded.
void checkMemory(const Model3ds& model, size_t size)
{
    size_t held = 0;
    for (int i = 0; i < model.meshCount(); ++i) {
        const ModelMesh& mesh = *model.mesh(i);
        held += sizeof(ModelMesh) + static_cast<size_t>(mesh.nameSize());
        held += 24 * static_cast<size_t>(mesh.vertexCount()) + 12 * static_cast<size_t>(mesh.triangleCount()) +
                8 * static_cast<size_t>(mesh.uvCount());
    }
    held += model.lightCount() * (sizeof(ModelLight) + 100);
    fuzzCheck(model.meshCount() + model.lightCount() <= kMaxModelObjects, "more objects than allowed");
    fuzzCheck(held <= 4 * size + kMaxModelObjects * (sizeof(ModelMesh) + 100), "model holds more than 4x its file");
}

void appendChunk(std::vector<uint8_t>& out, uint16_t id, const std::vector<uint8_t>& body)
{
    const uint32_t length = static_cast<uint32_t>(body.size() + 6);
    const uint8_t header[6] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(length),
                               static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
                               static_cast<uint8_t>(length >> 24)};
    out.insert(out.end(), header, header + 6);
    out.insert(out.end(), body.begin(), body.end());
}

// A small input repeated as one more object than a model may have: the file
// is refused with the reason, or holds no more objects than allowed.
void checkManyObjects(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> object{0};  // the object's empty name
    object.insert(object.end(), data, data + size);
    std::vector<uint8_t> objects, editor, file;
    for (int i = 0; i <= kMaxModelObjects; ++i) {
        appendChunk(objects, 0x4000, object);
    }
    appendChunk(editor, 0x3D3D, objects);
    editor.insert(editor.end(), 8, 0);
    appendChunk(file, 0x4D4D, editor);
    Model3ds model;
    const bool loaded = model.loadModelData(file.data(), file.size());
    fuzzCheck(loaded == model.loadProblem().empty(), "a refusal without a reason, or a reason with success");
    fuzzCheck(loaded || model.loadProblem() == "more than 4096 meshes and lights",
              "many objects refused for another reason");
    checkMemory(model, file.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size <= 256 && fuzzPicks(data, size, 4, 64)) {
        checkManyObjects(data, size);
    }
    Model3ds model;
    const bool loaded = model.loadModelData(data, size);
    fuzzCheck(loaded || model.meshCount() + model.lightCount() == 0, "refused model kept objects");
    fuzzCheck(loaded == model.loadProblem().empty(), "a refusal without a reason, or a reason with success");
    checkMemory(model, size);
    traverseModel(model);
    drawRecorded(model);
    checkReloadSame(model, loaded, data, size);
    useLocalMatrices(model);
    drawRecorded(model);
    return 0;
}
