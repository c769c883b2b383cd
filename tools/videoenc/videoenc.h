#pragma once
// Writes 32-bit B,G,R,X frames (row 0 at the top, rows packed) into an AVI
// file with Motion-JPEG video, which the capture layer and common players read.

#include <string>

struct VideoEncoder;

struct VideoEncoderSettings {
    int width = 0;
    int height = 0;
    int framesPerSecond = 30;  // 1..240
    int quality = 90;          // 1 (smallest file) .. 100 (best picture)
};

// Creates the file and prepares the encoder; null with a reason in `error`.
VideoEncoder* videoEncoderCreate(const std::string& path, const VideoEncoderSettings& settings,
                                 std::string* error);
// Encodes one frame of width * height * 4 bytes. Returns 0, or -1 with `error` set.
int videoEncoderAddFrame(VideoEncoder* encoder, const unsigned char* bgrx, std::string* error);
// Flushes the encoder and completes the file. Returns 0, or -1 with `error` set.
// The encoder is released in either case.
int videoEncoderFinish(VideoEncoder* encoder, std::string* error);
// Releases an encoder without completing the file (after a failure).
void videoEncoderDestroy(VideoEncoder* encoder);
