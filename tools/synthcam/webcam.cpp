#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>


#include "synthcam.h"

namespace {

// Separable gaussian, clamped at the borders, over one channel-interleaved RGB image.
void gaussianBlur(std::vector<double>& rgb, int w, int h, double sigma) {
    if (!(sigma > 0)) return;
    const int radius = static_cast<int>(std::ceil(3.5 * sigma));
    std::vector<double> kernel(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; i++) sum += kernel[i + radius] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& k : kernel) k /= sum;
    std::vector<double> tmp(rgb.size());
    auto pass = [&](const std::vector<double>& in, std::vector<double>& out, bool rows) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                for (int c = 0; c < 3; c++) {
                    double v = 0;
                    for (int i = -radius; i <= radius; i++) {
                        int sx = rows ? std::clamp(x + i, 0, w - 1) : x, sy = rows ? y : std::clamp(y + i, 0, h - 1);
                        v += kernel[i + radius] * in[(static_cast<size_t>(sy) * w + sx) * 3 + c];
                    }
                    out[(static_cast<size_t>(y) * w + x) * 3 + c] = v;
                }
    };
    pass(rgb, tmp, true);
    pass(tmp, rgb, false);
}

// Photon noise grows with the light (its variance in proportion), read noise does not.
void addLinearNoise(std::vector<double>& rgb, const SynthWebcam& cam, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (double& v : rgb) {
        double shot = cam.electronsAtWhite > 0 ? std::max(v, 0.0) * 255.0 / cam.electronsAtWhite : 0.0;
        v += std::sqrt(shot + cam.readNoise * cam.readNoise) * gauss(random);
    }
}

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

bool compress(const std::vector<uint8_t>& rgb, int w, int h, const SynthWebcam& cam, std::vector<uint8_t>* out) {
    jpeg_compress_struct c;
    JpegError error;
    c.err = jpeg_std_error(&error.base);
    error.base.error_exit = onJpegError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&c);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w, c.image_height = h, c.input_components = 3, c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, cam.jpegQuality, TRUE);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = cam.chroma422 ? 1 : 2;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb[static_cast<size_t>(c.next_scanline) * w * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    out->assign(buffer, buffer + size);
    std::free(buffer);
    return true;
}

bool decompress(const std::vector<uint8_t>& file, int w, int h, std::vector<uint8_t>* rgb) {
    jpeg_decompress_struct d;
    JpegError error;
    d.err = jpeg_std_error(&error.base);
    error.base.error_exit = onJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    bool sized = static_cast<int>(d.output_width) == w && static_cast<int>(d.output_height) == h &&
                 d.output_components == 3;
    rgb->assign(static_cast<size_t>(w) * h * 3, 0);
    while (sized && d.output_scanline < d.output_height) {
        JSAMPROW row = &(*rgb)[static_cast<size_t>(d.output_scanline) * w * 3];
        jpeg_read_scanlines(&d, &row, 1);
    }
    if (sized) jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return sized;
}

}  // namespace

bool jpegRoundTrip(std::vector<uint8_t>& rgb, int w, int h, const SynthWebcam& cam) {
    std::vector<uint8_t> file;
    return compress(rgb, w, h, cam, &file) && decompress(file, w, h, &rgb);
}

bool applyWebcam(const SynthWebcam& cam, unsigned seed, int w, int h, std::vector<double>& linear,
                 std::vector<uint8_t>* rgb) {
    gaussianBlur(linear, w, h, cam.blurSigma);
    addLinearNoise(linear, cam, seed);
    rgb->resize(linear.size());
    for (size_t i = 0; i < linear.size(); i++) {
        double v = 255.0 * std::pow(std::clamp(linear[i] / 255.0, 0.0, 1.0), 1.0 / cam.gamma);
        (*rgb)[i] = static_cast<uint8_t>(std::lround(v));
    }
    return cam.jpegQuality <= 0 || jpegRoundTrip(*rgb, w, h, cam);
}
