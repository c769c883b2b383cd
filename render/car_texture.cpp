#include "render/car_texture.h"

#include <GL/glu.h>
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file_path.h"
#include "render/bmp.h"

void createTexture(const char* path, Texture& texture) {
    texture.image = loadDibImage(path);
    if (!texture.image) {
        const std::string problem = regularFileProblem(path);
        std::fprintf(stderr, "rovanta: cannot make a car texture from %s%s%s\n", path, problem.empty() ? "" : ": ",
                     problem.c_str());
        std::exit(1);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint name = 0;
    glGenTextures(1, &name);
    texture.glName = name;
    glBindTexture(GL_TEXTURE_2D, name);
    texture.width = texture.image->width;
    texture.height = texture.image->height;
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, texture.width, texture.height, GL_RGB, GL_UNSIGNED_BYTE,
                      texture.image->pixels);
    // The mipmaps hold the picture now; the decoded image is not needed again.
    freeRgbImage(texture.image);
    texture.image = nullptr;
}

void setupCarTexture(Car& car, const char* texturePath) {
    createTexture(texturePath, car.texture);
    glBindTexture(GL_TEXTURE_2D, car.texture.glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}
