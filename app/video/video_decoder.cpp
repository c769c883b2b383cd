#include "app/video/video_decoder.h"

#include "platform/file_path.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>

namespace {

// Largest frame accepted (8K UHD); a damaged or hostile header must not make
// the game allocate gigabytes for its frame buffers.
constexpr int kMaxFrameWidth = 7680;
constexpr int kMaxFrameHeight = 4320;
constexpr double kDefaultFrameRate = 30.0;
constexpr double kMinFrameRate = 1.0;
constexpr double kMaxFrameRate = 240.0;
// Consecutive undecodable packets after which the stream counts as broken.
constexpr int kMaxConsecutiveBadPackets = 1000;
// Queued camera frames passed over in one read to reach the newest.
constexpr int kMaxSkippedCameraFrames = 64;
// A camera that accepts the open but never delivers must not hang start-up.
constexpr std::chrono::seconds kCameraOpenTimeout(5);
// A read that takes longer than a quarter of the frame interval (within these
// bounds) waited for the source rather than taking a queued frame.
constexpr double kMinWaitSeconds = 0.002;
constexpr double kMaxWaitSeconds = 0.010;
// Containers of real video files, by FFmpeg's demuxer names. Playlists (concat,
// HLS, DASH), image sequences and the like name other files, which could be
// pipes or devices that hang the open; they are not played.
constexpr const char* kVideoFileFormats =
    "avi,mov,mp4,matroska,webm,mpeg,mpegts,flv,asf,ogg,nut,dv,yuv4mpegpipe,h264,hevc,mjpeg,m4v,gif";
constexpr const char* kVideoFileKinds = "AVI, MP4/MOV, Matroska/WebM, MPEG, FLV, ASF/WMV, Ogg, NUT";

std::string avErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

}  // namespace

struct VideoDecoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVPacket* packet = nullptr;
    AVPacket* spare = nullptr;  // second packet for skipping to the newest camera frame
    AVFrame* frame = nullptr;
    AVFrame* converted = nullptr;  // padded B,G,R,X image the scaler writes into
    std::string source;  // name for messages
    std::string url;     // what FFmpeg opens
    int stream = -1;
    int width = 0;
    int height = 0;
    double interval = 1.0 / kDefaultFrameRate;
    bool camera = false;
    bool intraOnly = false;   // every frame decodes on its own
    bool inputEnded = false;  // flush packet sent to the decoder
    double clockGap = 0.0;    // live sources: our clock minus the packets' time when on time
    bool clockGapKnown = false;
    std::chrono::steady_clock::time_point openDeadline = std::chrono::steady_clock::time_point::max();
    // FFmpeg's own opener, which openOnlyTheNamedFile passes the named file to.
    int (*defaultIoOpen)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
};

namespace {

void releaseStreams(VideoDecoder* d) {
    sws_freeContext(d->scaler);
    d->scaler = nullptr;
    avcodec_free_context(&d->codec);
    avformat_close_input(&d->format);
    d->inputEnded = false;
}

double nominalFrameRate(const AVStream* st) {
    AVRational rates[] = {st->avg_frame_rate, st->r_frame_rate};
    for (AVRational r : rates) {
        if (r.num > 0 && r.den > 0) {
            double fps = av_q2d(r);
            if (fps >= kMinFrameRate && fps <= kMaxFrameRate) return fps;
        }
    }
    return kDefaultFrameRate;
}

bool openCodec(VideoDecoder* d, std::string* error) {
    const AVCodecParameters* par = d->format->streams[d->stream]->codecpar;
    const AVCodec* dec = avcodec_find_decoder(par->codec_id);
    if (dec == nullptr) {
        *error = "no decoder for the video stream of " + d->source;
        return false;
    }
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    d->intraOnly = desc != nullptr && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    d->codec = avcodec_alloc_context3(dec);
    if (d->codec == nullptr) {
        *error = "out of memory";
        return false;
    }
    int ret = avcodec_parameters_to_context(d->codec, par);
    d->codec->thread_count = 1;
    if (ret >= 0) ret = avcodec_open2(d->codec, dec, nullptr);
    if (ret < 0) {
        *error = "cannot decode " + d->source + ": " + avErrorText(ret);
        return false;
    }
    return true;
}

bool checkFrameSize(VideoDecoder* d, std::string* error) {
    const AVCodecParameters* par = d->format->streams[d->stream]->codecpar;
    d->width = par->width;
    d->height = par->height;
    if (d->width <= 0 || d->height <= 0 || av_image_check_size(d->width, d->height, 0, nullptr) < 0) {
        *error = d->source + " has no valid frame size";
        return false;
    }
    if (d->width > kMaxFrameWidth || d->height > kMaxFrameHeight) {
        *error = d->source + ": frame size " + std::to_string(d->width) + " x " + std::to_string(d->height) +
                 " is too large";
        return false;
    }
    return true;
}

// Stream lookup and decoder set-up once the container is open.
bool openVideoStream(VideoDecoder* d, std::string* error) {
    int ret = avformat_find_stream_info(d->format, nullptr);
    if (ret < 0) {
        *error = "cannot read " + d->source + ": " + avErrorText(ret);
        return false;
    }
    d->stream = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (d->stream < 0) {
        *error = d->source + " has no video stream";
        return false;
    }
    d->interval = 1.0 / nominalFrameRate(d->format->streams[d->stream]);
    return checkFrameSize(d, error) && openCodec(d, error);
}

int pastOpenDeadline(void* opaque) {
    const VideoDecoder* d = static_cast<const VideoDecoder*>(opaque);
    return std::chrono::steady_clock::now() > d->openDeadline ? 1 : 0;
}

// Cameras are read without blocking, and their open is bounded in time.
void prepareCameraInput(VideoDecoder* d) {
    d->format->flags |= AVFMT_FLAG_NONBLOCK;
    d->format->interrupt_callback = AVIOInterruptCB{pastOpenDeadline, d};
    d->openDeadline = std::chrono::steady_clock::now() + kCameraOpenTimeout;
}

// Every file a container opens goes through here: the one named, and nothing
// that it names in turn.
int openOnlyTheNamedFile(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options) {
    const VideoDecoder* d = static_cast<const VideoDecoder*>(s->opaque);
    if (url == nullptr || d->url != url) return AVERROR(EPERM);
    return d->defaultIoOpen(s, pb, url, flags, options);
}

bool openInput(VideoDecoder* d, const AVInputFormat* fmt, AVDictionary** options, std::string* error) {
    d->format = avformat_alloc_context();
    if (d->format == nullptr) {
        *error = "out of memory";
        return false;
    }
    if (d->camera) prepareCameraInput(d);
    if (!d->camera) {
        d->format->opaque = d;
        d->defaultIoOpen = d->format->io_open;
        d->format->io_open = openOnlyTheNamedFile;
    }
    int ret = avformat_open_input(&d->format, d->url.c_str(), fmt, options);
    if (ret < 0) {  // the context was freed by the failed open
        *error = "cannot open " + d->source + ": " + avErrorText(ret);
        return false;
    }
    bool ok = openVideoStream(d, error);
    d->openDeadline = std::chrono::steady_clock::time_point::max();
    return ok;
}

VideoDecoder* createDecoder(const std::string& source, bool camera, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);  // causes are reported once, by the layer
    VideoDecoder* d = new (std::nothrow) VideoDecoder;
    if (d == nullptr) {
        *error = "out of memory";
        return nullptr;
    }
    d->source = source;
    d->url = source;
    d->camera = camera;
    d->packet = av_packet_alloc();
    d->spare = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (d->packet == nullptr || d->spare == nullptr || d->frame == nullptr) {
        *error = "out of memory";
        decoderClose(d);
        return nullptr;
    }
    return d;
}

bool isV4l2(const LiveSource& source) { return source.inputFormat == "video4linux2"; }

// Opens the live source; `size` ("640x480") overrides the source's own, null keeps it.
bool openLiveAt(VideoDecoder* d, const AVInputFormat* format, const LiveSource& source, const char* size,
                std::string* error) {
    AVDictionary* options = nullptr;
    if (isV4l2(source)) {
        if (size != nullptr) av_dict_set(&options, "video_size", size, 0);
        if (source.fps > 0) av_dict_set(&options, "framerate", std::to_string(source.fps).c_str(), 0);
        if (!source.pixelFormat.empty()) av_dict_set(&options, "input_format", source.pixelFormat.c_str(), 0);
    }
    bool ok = openInput(d, format, &options, error);
    av_dict_free(&options);
    if (!ok) releaseStreams(d);
    return ok;
}

bool openLive(VideoDecoder* d, const AVInputFormat* format, const LiveSource& source, std::string* error) {
    if (!isV4l2(source)) return openLiveAt(d, format, source, nullptr, error);
    if (source.width > 0) {
        std::string size = std::to_string(source.width) + "x" + std::to_string(source.height);
        return openLiveAt(d, format, source, size.c_str(), error);
    }
    // 640 x 480 when the camera offers it, else whatever it offers.
    return openLiveAt(d, format, source, "640x480", error) || openLiveAt(d, format, source, nullptr, error);
}

// A file name is only ever a local file: no "proto:" prefix reaches the network,
// and a backslash separates folders as in the game's other paths.
std::string localFileUrl(const std::string& path) {
    std::string url = "file:" + path;
    for (char& c : url) {
        if (c == '\\') c = '/';
    }
    return url;
}

// The container FFmpeg recognises in the file; null when it recognises none.
const AVInputFormat* probeContainer(const VideoDecoder* d, std::string* error) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVIOContext* pb = nullptr;
    int ret = avio_open2(&pb, d->url.c_str(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    const AVInputFormat* format = nullptr;
    if (ret >= 0) ret = av_probe_input_buffer2(pb, &format, d->url.c_str(), nullptr, 0, 0);
    avio_closep(&pb);
    if (ret < 0) *error = "cannot open " + d->source + ": " + avErrorText(ret);
    return ret < 0 ? nullptr : format;
}

bool openLocalFile(VideoDecoder* d, std::string* error) {
    const AVInputFormat* container = probeContainer(d, error);
    if (container == nullptr) return false;
    if (av_match_list(container->name, kVideoFileFormats, ',') <= 0) {
        const std::string kind = container->long_name ? container->long_name : container->name;
        *error = "cannot open " + d->source + ": a " + kind + " file, not a video file (" + kVideoFileKinds + ")";
        return false;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kVideoFileFormats, 0);
    bool ok = openInput(d, container, &options, error);
    av_dict_free(&options);
    return ok;
}

}  // namespace

VideoDecoder* decoderOpenFile(const std::string& path, std::string* error) {
    // A named pipe or a device would block the open or never end.
    const std::string problem = regularFileProblem(path.c_str());
    if (!problem.empty()) {
        *error = "cannot open " + path + ": " + problem;
        return nullptr;
    }
    VideoDecoder* d = createDecoder(path, false, error);
    if (d == nullptr) return nullptr;
    d->url = localFileUrl(path);
    if (!openLocalFile(d, error)) {
        decoderClose(d);
        return nullptr;
    }
    return d;
}

VideoDecoder* decoderOpenLive(const LiveSource& source, std::string* error) {
    avdevice_register_all();
    const AVInputFormat* format = av_find_input_format(source.inputFormat.c_str());
    if (format == nullptr) {
        *error = "cannot open " + source.name + ": no " + source.inputFormat + " input in libavdevice";
        return nullptr;
    }
    VideoDecoder* d = createDecoder(source.name, true, error);
    if (d == nullptr) return nullptr;
    d->url = source.url;
    if (openLive(d, format, source, error)) return d;
    decoderClose(d);
    return nullptr;
}

void decoderClose(VideoDecoder* d) {
    if (d == nullptr) return;
    releaseStreams(d);
    av_packet_free(&d->packet);
    av_packet_free(&d->spare);
    av_frame_free(&d->frame);
    av_frame_free(&d->converted);
    delete d;
}

int decoderWidth(const VideoDecoder* d) { return d->width; }
int decoderHeight(const VideoDecoder* d) { return d->height; }
double decoderFrameInterval(const VideoDecoder* d) { return d->interval; }

namespace {

bool ensureConvertedFrame(VideoDecoder* d) {
    if (d->converted != nullptr) return true;
    d->converted = av_frame_alloc();
    if (d->converted == nullptr) return false;
    d->converted->format = AV_PIX_FMT_BGR0;
    d->converted->width = d->width;
    d->converted->height = d->height;
    if (av_frame_get_buffer(d->converted, 0) >= 0) return true;
    av_frame_free(&d->converted);
    return false;
}

// Copies the padded rows into the caller's packed frame.
void packRows(const AVFrame* src, unsigned char* bgrx) {
    std::size_t rowBytes = static_cast<std::size_t>(src->width) * 4;
    for (int y = 0; y < src->height; ++y) {
        std::memcpy(bgrx + rowBytes * y, src->data[0] + static_cast<std::ptrdiff_t>(src->linesize[0]) * y, rowBytes);
    }
}

// Scales whatever the decoder produced to the size reported at open, so a
// stream that changes size mid-way still fills exactly one frame buffer. The
// scaler's vector code may write past the end of a row, hence the padded
// intermediate instead of writing into the caller's packed buffer directly.
bool convertFrame(VideoDecoder* d, unsigned char* bgrx) {
    const AVFrame* f = d->frame;
    if (f->width <= 0 || f->height <= 0 || f->format < 0 || !ensureConvertedFrame(d)) return false;
    d->scaler = sws_getCachedContext(d->scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                     d->width, d->height, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr,
                                     nullptr);
    if (d->scaler == nullptr) return false;
    AVFrame* out = d->converted;
    if (sws_scale(d->scaler, f->data, f->linesize, 0, f->height, out->data, out->linesize) != d->height) return false;
    packRows(out, bgrx);
    return true;
}

enum class FeedStatus { Fed, Skipped, Again, End, Error };

// Reads the next packet of the video stream; other streams are read past.
FeedStatus readVideoPacket(VideoDecoder* d, AVPacket* into, std::string* error) {
    for (;;) {
        int ret = av_read_frame(d->format, into);
        if (ret == AVERROR(EAGAIN)) return FeedStatus::Again;
        if (ret == AVERROR_EOF && d->camera) {
            *error = d->source + " stopped sending frames (end of stream)";
            return FeedStatus::Error;
        }
        if (ret < 0 && d->camera) {
            *error = "capture from " + d->source + " failed: " + avErrorText(ret);
            return FeedStatus::Error;
        }
        if (ret < 0) return FeedStatus::End;  // end of file, or a damaged tail
        if (into->stream_index == d->stream) return FeedStatus::Fed;
        av_packet_unref(into);
    }
}

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Reads one packet and says whether the read had to wait for the source.
FeedStatus readTimedPacket(VideoDecoder* d, AVPacket* into, bool* waited, std::string* error) {
    double start = secondsNow();
    FeedStatus s = readVideoPacket(d, into, error);
    *waited = secondsNow() - start > std::clamp(d->interval / 4.0, kMinWaitSeconds, kMaxWaitSeconds);
    return s;
}

// How long after its time on the source's clock a packet is read; the
// smallest gap between our clock and its timestamps counts as on time.
// Negative when the packet carries no timestamp.
double secondsLate(VideoDecoder* d, const AVPacket* p) {
    if (p->pts == AV_NOPTS_VALUE) return -1.0;
    double gap = secondsNow() - p->pts * av_q2d(d->format->streams[d->stream]->time_base);
    if (!d->clockGapKnown || gap < d->clockGap) d->clockGap = gap, d->clockGapKnown = true;
    return gap - d->clockGap;
}

// As far as can be told, nothing newer than this packet has been sent: it
// came on time or, without timestamps, the read had to wait for it.
bool isNewest(VideoDecoder* d, const AVPacket* p, bool waited) {
    double late = secondsLate(d, p);
    return late < 0.0 ? waited : late < d->interval / 2.0;
}

// A camera queues frames while the caller is busy; skipping to the newest
// keeps the picture current instead of seconds behind. Only for codecs whose
// frames stand alone. Skipping stops at a read that finds nothing queued, at
// a packet that is on time, and after two frame intervals in any case, so
// that a source whose clock jumps cannot hold the caller up.
FeedStatus readNewestCameraPacket(VideoDecoder* d, std::string* error) {
    bool waited = false;
    FeedStatus s = readTimedPacket(d, d->packet, &waited, error);
    if (s != FeedStatus::Fed || !d->intraOnly) return s;
    double deadline = secondsNow() + 2.0 * d->interval;
    for (int i = 0; i < kMaxSkippedCameraFrames && !isNewest(d, d->packet, waited) && secondsNow() < deadline; ++i) {
        // Nothing newer now: the packet in hand is used; a source that ended or
        // failed says so again on the next read.
        if (readTimedPacket(d, d->spare, &waited, error) != FeedStatus::Fed) break;
        av_packet_unref(d->packet);
        av_packet_move_ref(d->packet, d->spare);
    }
    return FeedStatus::Fed;
}

FeedStatus feedPacket(VideoDecoder* d, std::string* error) {
    FeedStatus s = d->camera ? readNewestCameraPacket(d, error) : readVideoPacket(d, d->packet, error);
    if (s == FeedStatus::End) {
        // Drain what the decoder still holds.
        d->inputEnded = true;
        avcodec_send_packet(d->codec, nullptr);
        return FeedStatus::Fed;
    }
    if (s != FeedStatus::Fed) return s;
    int ret = avcodec_send_packet(d->codec, d->packet);
    av_packet_unref(d->packet);
    return ret < 0 ? FeedStatus::Skipped : FeedStatus::Fed;
}

}  // namespace

DecodeStatus decoderNextFrame(VideoDecoder* d, unsigned char* bgrx, std::string* error) {
    if (d->codec == nullptr) {
        *error = d->source + " is not open";
        return DecodeStatus::Error;
    }
    int bad = 0;
    while (bad < kMaxConsecutiveBadPackets) {
        int ret = avcodec_receive_frame(d->codec, d->frame);
        if (ret == 0) {
            bool ok = convertFrame(d, bgrx);
            av_frame_unref(d->frame);
            if (ok) return DecodeStatus::Frame;
            ++bad;
            continue;
        }
        if (ret == AVERROR_EOF) return DecodeStatus::End;
        if (ret != AVERROR(EAGAIN)) { ++bad; continue; }
        if (d->inputEnded) return DecodeStatus::End;
        FeedStatus fed = feedPacket(d, error);
        if (fed == FeedStatus::Again) return DecodeStatus::Again;
        if (fed == FeedStatus::Error) return DecodeStatus::Error;
        bad = fed == FeedStatus::Skipped ? bad + 1 : 0;
    }
    *error = d->source + ": too many undecodable packets";
    return DecodeStatus::Error;
}

int decoderRewind(VideoDecoder* d, std::string* error) {
    if (d->camera) return 0;
    // Opening afresh works for every file, seekable or not, and costs a few
    // milliseconds once per loop.
    int width = d->width, height = d->height;
    releaseStreams(d);
    if (!openLocalFile(d, error)) return -1;
    d->width = width;  // keep the size the caller allocated for; frames are scaled to it
    d->height = height;
    return 0;
}
