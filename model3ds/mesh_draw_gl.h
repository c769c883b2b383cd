#pragma once

// Makes Model3ds::draw emit immediate-mode OpenGL triangles.
void installGlModelDrawBackend();
