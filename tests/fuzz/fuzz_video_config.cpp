// The video configuration reader on arbitrary text: it must accept or reject
// every string cleanly and never read past its terminating zero.
#include "fuzz_check.h"

#include "app/video/video_config.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

static void checkOutcome(int result, const VideoConfig& config, const std::string& error)
{
    fuzzCheck(result == 0 || result == -1, "result is neither 0 nor -1");
    if (result != 0) {
        fuzzCheck(!error.empty(), "rejected without a reason");
        fuzzCheck(config.kind == VideoSourceKind::None && config.fileName.empty(),
                  "rejected but the configuration was filled");
        return;
    }
    fuzzCheck(error.empty(), "accepted with a reason");
    fuzzCheck(config.kind != VideoSourceKind::None, "accepted without a source");
    fuzzCheck(config.kind != VideoSourceKind::File || !config.fileName.empty(), "file source without a name");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly one byte more than the input, so that the address sanitizer
    // sees any read beyond the zero.
    std::unique_ptr<char[]> text(new char[size + 1]);
    if (size > 0) {
        std::memcpy(text.get(), data, size);
    }
    text[size] = '\0';
    VideoConfig config;
    config.kind = VideoSourceKind::File;
    config.fileName = "stale";
    std::string error = "stale";
    const int result = parseVideoConfig(text.get(), &config, &error);
    checkOutcome(result, config, error);
    return 0;
}
