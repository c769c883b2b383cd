#include "tools/videoenc/videoenc.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <cstring>
#include <new>

struct VideoEncoder {
    VideoEncoderSettings settings;
    std::string path;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* input = nullptr;  // padded copy of the caller's frame for the scaler
    AVPacket* packet = nullptr;
    int64_t nextPts = 0;
    int lambda = 0;  // JPEG quantiser scale in FFmpeg's lambda units
};

namespace {

std::string avErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

bool fail(std::string* error, const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
}

bool fail(std::string* error, const VideoEncoder* e, const char* step, int code) {
    return fail(error, e->path + ": " + step + ": " + avErrorText(code));
}

int reject(std::string* error, const std::string& why) {
    fail(error, why);
    return -1;
}

bool validSettings(const VideoEncoderSettings& s, std::string* error) {
    if (s.width <= 0 || s.height <= 0 || av_image_check_size(s.width, s.height, 0, nullptr) < 0)
        return fail(error, "invalid frame size");
    if (s.framesPerSecond < 1 || s.framesPerSecond > 240) return fail(error, "frame rate must be 1..240");
    if (s.quality < 1 || s.quality > 100) return fail(error, "quality must be 1..100");
    return true;
}

// Quality 100 maps to JPEG quantiser scale 2, quality 1 to 31.
int qualityToLambda(int quality) {
    int qscale = 2 + ((100 - quality) * 29 + 49) / 99;
    return qscale * FF_QP2LAMBDA;
}

bool openCodec(VideoEncoder* e, std::string* error) {
    const AVCodec* enc = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (enc == nullptr) return fail(error, "no Motion-JPEG encoder in libavcodec");
    e->codec = avcodec_alloc_context3(enc);
    if (e->codec == nullptr) return fail(error, "out of memory");
    AVCodecContext* c = e->codec;
    c->width = e->settings.width;
    c->height = e->settings.height;
    c->time_base = AVRational{1, e->settings.framesPerSecond};
    c->framerate = AVRational{e->settings.framesPerSecond, 1};
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = e->lambda;
    if (e->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int ret = avcodec_open2(c, enc, nullptr);
    return ret >= 0 || fail(error, e, "opening the encoder", ret);
}

bool createStream(VideoEncoder* e, std::string* error) {
    e->stream = avformat_new_stream(e->format, nullptr);
    if (e->stream == nullptr) return fail(error, "out of memory");
    e->stream->time_base = e->codec->time_base;
    e->stream->avg_frame_rate = e->codec->framerate;
    int ret = avcodec_parameters_from_context(e->stream->codecpar, e->codec);
    return ret >= 0 || fail(error, e, "describing the stream", ret);
}

AVFrame* allocateFrame(AVPixelFormat format, int width, int height) {
    AVFrame* f = av_frame_alloc();
    if (f == nullptr) return nullptr;
    f->format = format;
    f->width = width;
    f->height = height;
    if (av_frame_get_buffer(f, 0) < 0) av_frame_free(&f);
    return f;
}

bool createFrame(VideoEncoder* e, std::string* error) {
    e->frame = allocateFrame(e->codec->pix_fmt, e->codec->width, e->codec->height);
    e->input = allocateFrame(AV_PIX_FMT_BGR0, e->codec->width, e->codec->height);
    e->packet = av_packet_alloc();
    if (e->frame == nullptr || e->input == nullptr || e->packet == nullptr) return fail(error, "out of memory");
    e->scaler = sws_getContext(e->codec->width, e->codec->height, AV_PIX_FMT_BGR0, e->codec->width,
                               e->codec->height, e->codec->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
    return e->scaler != nullptr || fail(error, "cannot convert B,G,R,X frames for the encoder");
}

bool openFile(VideoEncoder* e, std::string* error) {
    int ret = avio_open(&e->format->pb, e->path.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) return fail(error, e, "cannot create the file", ret);
    ret = avformat_write_header(e->format, nullptr);
    return ret >= 0 || fail(error, e, "writing the header", ret);
}

bool setUp(VideoEncoder* e, std::string* error) {
    int ret = avformat_alloc_output_context2(&e->format, nullptr, "avi", e->path.c_str());
    if (ret < 0 || e->format == nullptr) return fail(error, e, "no AVI writer", ret);
    return openCodec(e, error) && createStream(e, error) && createFrame(e, error) && openFile(e, error);
}

// Moves every finished packet from the encoder into the file.
bool writePackets(VideoEncoder* e, std::string* error) {
    for (;;) {
        int ret = avcodec_receive_packet(e->codec, e->packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
        if (ret < 0) return fail(error, e, "encoding", ret);
        av_packet_rescale_ts(e->packet, e->codec->time_base, e->stream->time_base);
        e->packet->stream_index = e->stream->index;
        ret = av_interleaved_write_frame(e->format, e->packet);
        if (ret < 0) return fail(error, e, "writing a frame", ret);
    }
}

}  // namespace

VideoEncoder* videoEncoderCreate(const std::string& path, const VideoEncoderSettings& settings,
                                 std::string* error) {
    if (!validSettings(settings, error)) return nullptr;
    VideoEncoder* e = new (std::nothrow) VideoEncoder;
    if (e == nullptr) {
        fail(error, "out of memory");
        return nullptr;
    }
    e->settings = settings;
    e->path = path;
    e->lambda = qualityToLambda(settings.quality);
    if (!setUp(e, error)) {
        videoEncoderDestroy(e);
        return nullptr;
    }
    return e;
}

int videoEncoderAddFrame(VideoEncoder* e, const unsigned char* bgrx, std::string* error) {
    if (e == nullptr || bgrx == nullptr) return reject(error, "no encoder or no frame");
    int ret = av_frame_make_writable(e->frame);
    if (ret < 0) return reject(error, e->path + ": preparing a frame: " + avErrorText(ret));
    // The scaler's vector code may read past a row's end: give it padded rows.
    std::size_t rowBytes = static_cast<std::size_t>(e->settings.width) * 4;
    for (int y = 0; y < e->settings.height; ++y) {
        std::memcpy(e->input->data[0] + static_cast<std::ptrdiff_t>(e->input->linesize[0]) * y, bgrx + rowBytes * y,
                    rowBytes);
    }
    sws_scale(e->scaler, e->input->data, e->input->linesize, 0, e->settings.height, e->frame->data,
              e->frame->linesize);
    e->frame->pts = e->nextPts++;
    e->frame->quality = e->lambda;
    ret = avcodec_send_frame(e->codec, e->frame);
    if (ret < 0) return reject(error, e->path + ": encoding: " + avErrorText(ret));
    return writePackets(e, error) ? 0 : -1;
}

int videoEncoderFinish(VideoEncoder* e, std::string* error) {
    if (e == nullptr) return reject(error, "no encoder");
    bool ok = true;
    int ret = avcodec_send_frame(e->codec, nullptr);
    if (ret < 0) ok = fail(error, e, "flushing the encoder", ret);
    ok = ok && writePackets(e, error);
    ret = ok ? av_write_trailer(e->format) : 0;
    if (ret < 0) ok = fail(error, e, "completing the file", ret);
    videoEncoderDestroy(e);
    return ok ? 0 : -1;
}

void videoEncoderDestroy(VideoEncoder* e) {
    if (e == nullptr) return;
    if (e->format != nullptr && e->format->pb != nullptr) avio_closep(&e->format->pb);
    avformat_free_context(e->format);
    avcodec_free_context(&e->codec);
    sws_freeContext(e->scaler);
    av_frame_free(&e->frame);
    av_frame_free(&e->input);
    av_packet_free(&e->packet);
    delete e;
}
