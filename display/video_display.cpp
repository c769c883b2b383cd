#include "display/video_display.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/camera_projection.h"
#include "display/gl_modes.h"
#include "display/image_grid.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace {

constexpr double kNearPlane = 50.0;
constexpr double kFarPlane = 5000.0;

struct GridList {
    GLuint name = 0;
    bool needsRecording = true;
};

DisplayState state;
ImageTextureLayout layout;
GLuint imageTextures[4];
bool texturesFilled[2] = {false, false};
unsigned char* stagingImage = nullptr;
GridList gridLists[2];

int imageWidth() { return state.cameraParam.width; }
int imageHeight() { return state.cameraParam.height; }

// The uploads read whole texture rows with the image's row length, which
// reaches past width x textureHeight pixels when a texture is wider than its
// part of the image; the block holds that tail too.
size_t stagingPixelCount() {
    return static_cast<size_t>(imageWidth()) * layout.textureHeight + layout.textureWidth +
           layout.textureWidthRight;
}

void ensureStagingImage() {
    if (stagingImage) return;
    stagingImage = static_cast<unsigned char*>(std::calloc(stagingPixelCount(), 4));
    if (!stagingImage) {
        std::printf("malloc error!!\n");
        std::fflush(stdout);
        std::fprintf(stderr, "rovanta: cannot allocate the %zu-byte video staging image\n",
                     stagingPixelCount() * 4);
        std::exit(1);
    }
}

void beginImageUpload(const unsigned char* frame) {
    ensureStagingImage();
    std::memcpy(stagingImage, frame, static_cast<size_t>(imageWidth()) * imageHeight() * 4);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, imageWidth());
}

void uploadTexture(int slot, int texWidth, const unsigned char* source) {
    glBindTexture(GL_TEXTURE_2D, imageTextures[slot]);
    if (!texturesFilled[slot]) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, texWidth, layout.textureHeight, 0, GL_BGRA_EXT,
                     GL_UNSIGNED_BYTE, source);
        texturesFilled[slot] = true;
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texWidth, layout.textureHeight, GL_BGRA_EXT,
                        GL_UNSIGNED_BYTE, source);
    }
}

void observedToIdealForDisplay(double ox, double oy, double* ix, double* iy) {
    observedToIdeal(state.cameraParam.distortion, ox, oy, ix, iy);
}

void emitGrid(const GridBand& band) {
    const auto quads = buildGridQuads(band, imageHeight(), layout.textureHeight, state.zoom,
                                      state.windowHeight, observedToIdealForDisplay);
    for (const GridQuad& quad : quads) {
        glBegin(GL_QUADS);
        for (const GridCorner& c : quad) {
            glTexCoord2d(c.s, c.t);
            glVertex3d(c.wx, c.wy, -1.0);
        }
        glEnd();
    }
}

void drawGrid(GridList& list, const GridBand& band) {
    if (list.needsRecording) {
        glNewList(list.name, GL_COMPILE_AND_EXECUTE);
        emitGrid(band);
        glEndList();
        list.needsRecording = false;
    } else {
        glCallList(list.name);
    }
}

void endImageUpload() {
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void drawImageOneTexture(const unsigned char* frame) {
    beginImageUpload(frame);
    if (gridLists[0].name == 0) gridLists[0].name = glGenLists(1);
    uploadTexture(0, layout.textureWidth, stagingImage);
    drawGrid(gridLists[0], gridBandsFor(imageWidth(), layout)[0]);
    endImageUpload();
}

void drawImageTwoTextures(const unsigned char* frame) {
    beginImageUpload(frame);
    if (gridLists[0].name == 0) {
        gridLists[0].name = glGenLists(2);
        gridLists[1].name = gridLists[0].name + 1;
    }
    const auto bands = gridBandsFor(imageWidth(), layout);
    uploadTexture(0, kMaxLeftTextureWidth, stagingImage);
    drawGrid(gridLists[0], bands[0]);
    uploadTexture(1, layout.textureWidthRight, stagingImage + kMaxLeftTextureWidth * 4);
    drawGrid(gridLists[1], bands[1]);
    endImageUpload();
}

}  // namespace

const DisplayState& displayState() { return state; }

void initVideoDisplay(const CameraIntrinsics& cameraParam, double zoom) {
    state.zoom = zoom;
    state.windowWidth = static_cast<int>(cameraParam.width * zoom);
    state.windowHeight = static_cast<int>(cameraParam.height * zoom);
    state.cameraParam = cameraParam;
    flipCameraMatrixVertically(state.cameraParam.projection, cameraParam.height);
    if (cameraToGlProjection(state.cameraParam.projection, cameraParam.width, cameraParam.height,
                             kNearPlane, kFarPlane, state.glProjection) < 0) {
        std::printf("cameraToGlProjection: Parameter error!!\n");
        std::fflush(stdout);
        std::fprintf(stderr, "rovanta: the camera matrix cannot be decomposed\n");
        std::exit(1);
    }
    createDisplayWindow();
}

void createDisplayWindow() {
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(state.windowWidth, state.windowHeight);
    glutCreateWindow("");
    clearMainLoopCallbacks();

    glGenTextures(4, imageTextures);
    for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_2D, imageTextures[i]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    }
    layout = computeImageTextureLayout(imageWidth(), imageHeight());
}

void drawCameraImage(const unsigned char* frame) {
    const int viewHeight = static_cast<int>(imageHeight() * state.zoom);
    glScissor(0, state.windowHeight - viewHeight, static_cast<int>(state.zoom * imageWidth()),
              viewHeight);
    glEnable(GL_SCISSOR_TEST);
    // The frame is opaque, so blending it changes nothing on screen but costs a
    // framebuffer read per pixel in software renderers.
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
    if (imageWidth() > layout.textureWidth)
        drawImageTwoTextures(frame);
    else
        drawImageOneTexture(frame);
    glPopAttrib();
    glDisable(GL_SCISSOR_TEST);
}

void drawIdealLine(double x1, double y1, double x2, double y2) {
    const double top = state.windowHeight - 1;
    glBegin(GL_LINES);
    glVertex2f(static_cast<float>(state.zoom * x1), static_cast<float>(top - state.zoom * y1));
    glVertex2f(static_cast<float>(state.zoom * x2), static_cast<float>(top - state.zoom * y2));
    glEnd();
    glFlush();
}

void drawMarkerOutline(const double corners[4][2]) {
    for (int i = 0; i < 4; ++i) {
        const int next = (i + 1) % 4;
        drawIdealLine(corners[i][0], corners[i][1], corners[next][0], corners[next][1]);
    }
}

void swapDisplayBuffers() { glutSwapBuffers(); }

void closeVideoDisplay() {}
