#include "app/video/video.h"

#include "app/video/video_config.h"
#include "app/video/live_source.h"
#include "app/video/video_decoder.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Two frame buffers: `front` is the frame last handed out and must stay
// untouched; the other one receives the next frame.
struct VideoState {
    VideoDecoder* decoder = nullptr;
    VideoConfig config;
    unsigned char* buffers[2] = {nullptr, nullptr};
    int front = 1;
    bool backReady = false;
    bool running = false;
    bool everStarted = false;
    bool rewindPending = false;
    bool ended = false;   // a file that does not loop has played once
    bool failed = false;  // playback ended in an error
    int framesThisPass = 0;
    Clock::time_point nextDue;
    Clock::duration interval{};
};

VideoState g;
bool g_pacing = true;
CameraRequest g_cameraRequest;

void report(const std::string& cause) { std::fprintf(stderr, "video: %s\n", cause.c_str()); }

void failPlayback(const std::string& cause) {
    if (!g.failed) report(cause);
    g.failed = true;
}

unsigned char* backBuffer() { return g.buffers[1 - g.front]; }

bool allocateBuffers(std::string* error) {
    std::size_t bytes = static_cast<std::size_t>(decoderWidth(g.decoder)) * decoderHeight(g.decoder) * 4;
    for (unsigned char*& b : g.buffers) {
        b = static_cast<unsigned char*>(av_mallocz(bytes));
        if (b == nullptr) {
            *error = "out of memory for frame buffers";
            return false;
        }
    }
    return true;
}

void releaseAll() {
    decoderClose(g.decoder);
    for (unsigned char*& b : g.buffers) av_freep(&b);
    g = VideoState{};
}

bool isFile() { return g.config.kind == VideoSourceKind::File; }

bool rewindFile() {
    std::string error;
    if (decoderRewind(g.decoder, &error) != 0) {
        failPlayback(error);
        return false;
    }
    g.framesThisPass = 0;
    return true;
}

// End of the file: loop, or stop for good when a whole pass gave nothing.
bool handleEndOfFile() {
    if (!g.config.loop) {
        g.ended = true;
        return false;
    }
    if (g.framesThisPass == 0) {
        failPlayback(g.config.fileName + ": no decodable frame left to play");
        return false;
    }
    return rewindFile();
}

// Decodes the next frame into the back buffer; false when none is available now.
bool prepareNextFrame() {
    if (g.backReady) return true;
    if (g.failed || g.ended || g.decoder == nullptr) return false;
    if (g.rewindPending) {
        g.rewindPending = false;
        if (!rewindFile()) return false;
    }
    for (;;) {
        std::string error;
        DecodeStatus s = decoderNextFrame(g.decoder, backBuffer(), &error);
        if (s == DecodeStatus::Frame) {
            ++g.framesThisPass;
            g.backReady = true;
            return true;
        }
        if (s == DecodeStatus::Again) return false;
        if (s == DecodeStatus::Error) {
            failPlayback(error);
            return false;
        }
        if (!handleEndOfFile()) return false;
    }
}

bool frameIsDue(Clock::time_point now) { return !g_pacing || !isFile() || now >= g.nextDue; }

// Next frame one interval after this one's due time, but never in the past,
// so a slow caller gets one frame per call instead of a burst.
void scheduleAfterDelivery(Clock::time_point now) {
    g.nextDue = g_pacing ? g.nextDue + g.interval : now + g.interval;
    if (g.nextDue < now) g.nextDue = now;
}

// A test source offers the one size its graph makes; say so when another was asked for.
void noteTestSourceSize(const LiveSource& source) {
    int w = decoderWidth(g.decoder), h = decoderHeight(g.decoder);
    if (source.inputFormat != "lavfi" || g_cameraRequest.width <= 0) return;
    if (w == g_cameraRequest.width && h == g_cameraRequest.height) return;
    report(source.name + " offers only " + std::to_string(w) + "x" + std::to_string(h) + "; using it");
}

VideoDecoder* openCamera(std::string* error) {
    LiveSource source;
    std::vector<std::string> notes;
    if (!resolveLiveSource(g_cameraRequest, &source, &notes, error)) return nullptr;
    for (const std::string& note : notes) report(note);
    g.decoder = decoderOpenLive(source, error);
    if (g.decoder != nullptr) noteTestSourceSize(source);
    return g.decoder;
}

int openSource(const VideoConfig& config, std::string* error) {
    if (config.kind == VideoSourceKind::Camera) {
        openCamera(error);
    } else {
        g.decoder = decoderOpenFile(config.fileName, error);
    }
    if (g.decoder == nullptr || !allocateBuffers(error)) return -1;
    g.config = config;
    g.interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(decoderFrameInterval(g.decoder)));
    return 0;
}

// A file that opens but yields no picture is refused at open, not at play.
bool probeFirstFrame(std::string* error) {
    if (!isFile()) return true;
    DecodeStatus s = decoderNextFrame(g.decoder, backBuffer(), error);
    if (s == DecodeStatus::Frame) {
        g.backReady = true;
        g.framesThisPass = 1;
        return true;
    }
    if (s != DecodeStatus::Error) *error = g.config.fileName + ": no decodable video frame";
    return false;
}

}  // namespace

int videoOpen(const char* config) {
    if (g.decoder != nullptr) {
        report("a video source is already open");
        return -1;
    }
    VideoConfig parsed;
    std::string error;
    if (parseVideoConfig(config, &parsed, &error) != 0) {
        report(error);
        return -1;
    }
    if (openSource(parsed, &error) != 0 || !probeFirstFrame(&error)) {
        report(error);
        releaseAll();
        return -1;
    }
    return 0;
}

int videoInqSize(int* width, int* height) {
    if (g.decoder == nullptr || width == nullptr || height == nullptr) return -1;
    *width = decoderWidth(g.decoder);
    *height = decoderHeight(g.decoder);
    return 0;
}

int videoCapStart() {
    if (g.decoder == nullptr) return -1;
    if (g.running) return 0;
    if (g.everStarted && isFile()) {
        // Replay from the first frame; the frame last handed out stays intact.
        g.backReady = false;
        g.ended = false;
        g.rewindPending = true;
    }
    g.running = true;
    g.everStarted = true;
    g.nextDue = Clock::now();
    return 0;
}

unsigned char* videoGetImage() {
    if (!g.running) return nullptr;
    Clock::time_point now = Clock::now();
    if (!frameIsDue(now) || !prepareNextFrame()) return nullptr;
    g.front = 1 - g.front;
    g.backReady = false;
    scheduleAfterDelivery(now);
    return g.buffers[g.front];
}

int videoCapNext() {
    if (!g.running) return -1;
    // A live frame is read when it is asked for, so that it is the newest:
    // one read ahead would grow old while the caller works.
    if (isFile()) prepareNextFrame();
    return g.failed ? -1 : 0;
}

int videoCapStop() {
    if (g.decoder == nullptr) return -1;
    g.running = false;
    return 0;
}

int videoClose() {
    if (g.decoder == nullptr) return -1;
    releaseAll();
    return 0;
}

void videoSetPacing(bool enabled) { g_pacing = enabled; }

void videoSetCameraRequest(const CameraRequest& request) { g_cameraRequest = request; }

bool videoFailed() { return g.failed; }
