#pragma once
// Demuxing, decoding and conversion of one video stream into packed B,G,R,X
// frames, row 0 at the top. Used by the capture layer (video.cpp).

#include <string>

struct VideoDecoder;

enum class DecodeStatus { Frame, Again, End, Error };

// Opens a video file; null with a reason in `error` when it cannot be played.
VideoDecoder* decoderOpenFile(const std::string& path, std::string* error);
// A live source: a V4L2 camera, or an FFmpeg filter graph standing in for one
// (a test pattern that needs no hardware). Frames come as the source sends them.
struct LiveSource {
    std::string inputFormat = "video4linux2";  // or "lavfi"
    std::string url;          // device path, or the filter graph
    std::string name;         // for messages
    int width = 0;            // 0: 640 x 480 when the camera takes it, else its default
    int height = 0;
    double fps = 0.0;         // 0: the camera's default
    std::string pixelFormat;  // FFmpeg's input_format name, empty for the default
};

// Opens a live source, reading without blocking where the source allows it.
VideoDecoder* decoderOpenLive(const LiveSource& source, std::string* error);
void decoderClose(VideoDecoder* decoder);

int decoderWidth(const VideoDecoder* decoder);
int decoderHeight(const VideoDecoder* decoder);
// Seconds between frames at the stream's nominal frame rate.
double decoderFrameInterval(const VideoDecoder* decoder);

// Decodes the next frame into `bgrx` (width * height * 4 bytes). Again: a
// camera has no frame ready yet. End: the file is exhausted. Error: `error` set.
DecodeStatus decoderNextFrame(VideoDecoder* decoder, unsigned char* bgrx, std::string* error);
// Goes back to the first frame of a file by opening it again. Returns 0, or -1
// with `error` set; the decoder is then unusable until closed.
int decoderRewind(VideoDecoder* decoder, std::string* error);
