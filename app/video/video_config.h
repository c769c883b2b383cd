#pragma once
// Interpretation of the video configuration string: which source to open.
// Free of FFmpeg and OpenGL so that it can be tested and fuzzed on its own.

#include <string>

enum class VideoSourceKind { None, Camera, File };

struct VideoConfig {
    VideoSourceKind kind = VideoSourceKind::None;
    std::string fileName;  // file form: decoded file_name attribute
    bool loop = true;      // file form: loop_avi attribute, "false" plays once
};

// Parses the XML configuration text. Returns 0 and fills `config`, or -1 with a
// one-line reason in `error`. Never reads past the terminating zero of `text`.
int parseVideoConfig(const char* text, VideoConfig* config, std::string* error);
