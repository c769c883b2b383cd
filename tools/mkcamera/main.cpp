// rovanta-mkcamera: writes a camera parameter file for a plausible webcam (the demo camera).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "synthcam.h"
#include "tracking/camera.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr,
                     "usage: rovanta-mkcamera OUT.dat [WIDTH HEIGHT]\n"
                     "Writes one camera record: focal length 660 px at 640 wide, principal point near\n"
                     "the centre, mild barrel distortion; scaled to WIDTH x HEIGHT (default 640 x 480).\n");
        return 2;
    }
    int width = argc == 4 ? std::atoi(argv[2]) : 640, height = argc == 4 ? std::atoi(argv[3]) : 480;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        std::fprintf(stderr, "rovanta-mkcamera: bad size %s x %s\n", argv[2], argv[3]);
        return 1;
    }
    CameraIntrinsics camera = makeWebcamIntrinsics(width, height);
    if (saveCameraParams(argv[1], &camera, 1) < 0) {
        std::fprintf(stderr, "rovanta-mkcamera: %s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
