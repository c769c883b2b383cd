#include <cmath>

#include "synthcam.h"

namespace {

bool neutral(const SynthLighting& l) {
    return l.exposure == 1.0 && l.flare == 0.0 && l.gradient[0] == 0.0 && l.gradient[1] == 0.0 &&
           l.shadowFactor == 1.0;
}

// Share of the full shadow at a pixel: 0 in the light, 1 in the shadow, a ramp across the penumbra.
double shadowShare(const SynthLighting& l, double x, double y) {
    const double* line = l.shadowLine;
    double norm = std::hypot(line[0], line[1]);
    if (norm == 0.0) return 0.0;
    double distance = (line[0] * x + line[1] * y + line[2]) / norm;
    double width = l.penumbra > 1e-6 ? l.penumbra : 1e-6;
    return std::fmin(1.0, std::fmax(0.0, distance / width + 0.5));
}

double lightAt(const SynthLighting& l, double x, double y) {
    double light = l.exposure * std::exp(l.gradient[0] * (x - l.origin[0]) + l.gradient[1] * (y - l.origin[1]));
    if (l.shadowFactor != 1.0) light *= 1.0 - (1.0 - l.shadowFactor) * shadowShare(l, x, y);
    return light;
}

}  // namespace

void applySynthLighting(const SynthLighting& light, int width, int height, std::vector<double>& rgb) {
    if (neutral(light)) return;
    double flare = light.flare * 255.0 * light.exposure;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            double k = lightAt(light, x, y);
            double* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            for (int c = 0; c < 3; c++) p[c] = p[c] * k + flare;
        }
}
