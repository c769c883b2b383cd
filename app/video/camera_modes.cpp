#include "app/video/camera_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kMaxSide = 16384;

struct Size {
    int width, height;
    bool operator==(const Size&) const = default;
};

// One pixel format at one rate: what a size can be captured with.
struct Offer {
    std::string format;
    double rate;  // 0 when the camera does not say
};

bool isCompressed(const std::string& fourcc) {
    static const char* const kCompressed[] = {"MJPG", "JPEG", "H264", "HEVC", "MPEG", "VP80", "VP90"};
    return std::any_of(std::begin(kCompressed), std::end(kCompressed), [&](const char* c) { return fourcc == c; });
}

std::string rateText(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", fps);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string sizeText(Size s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// Distinct sizes, smallest first.
std::vector<Size> offeredSizes(const CameraInfo& camera) {
    std::vector<Size> sizes;
    for (const CameraMode& m : camera.modes) {
        Size s{m.width, m.height};
        if (std::find(sizes.begin(), sizes.end(), s) == sizes.end()) sizes.push_back(s);
    }
    std::stable_sort(sizes.begin(), sizes.end(),
                     [](Size a, Size b) { return a.width * a.height < b.width * b.height; });
    return sizes;
}

std::vector<Offer> offersAt(const CameraInfo& camera, Size size) {
    std::vector<Offer> offers;
    for (const CameraMode& m : camera.modes) {
        if (Size{m.width, m.height} != size) continue;
        if (m.rates.empty()) offers.push_back({m.format, 0.0});
        for (double r : m.rates) offers.push_back({m.format, r});
    }
    return offers;
}

// "YUYV 30/15 fps, MJPG 30 fps" for one size.
std::string offersText(const CameraInfo& camera, Size size) {
    std::string text;
    for (const CameraMode& m : camera.modes) {
        if (Size{m.width, m.height} != size) continue;
        if (!text.empty()) text += ", ";
        text += m.format;
        for (size_t i = 0; i < m.rates.size(); ++i) text += (i == 0 ? " " : "/") + rateText(m.rates[i]);
        if (!m.rates.empty()) text += " fps";
    }
    return text;
}

long long squaredDistance(Size a, Size b) {
    long long dw = a.width - b.width, dh = a.height - b.height;
    return dw * dw + dh * dh;
}

// The exact size when offered, else the nearest (the larger one on a tie).
Size nearestSize(const std::vector<Size>& sizes, Size wanted) {
    Size best = sizes.front();
    for (Size s : sizes) {
        long long d = squaredDistance(s, wanted), bestD = squaredDistance(best, wanted);
        if (d < bestD || (d == bestD && s.width * s.height > best.width * best.height)) best = s;
    }
    return best;
}

bool sameRate(double a, double b) { return std::fabs(a - b) <= 0.01 * std::max(a, b) + 1e-9; }

// Better offer for `fps` (0: the fastest): nearer rate, then uncompressed.
bool betterOffer(const Offer& a, const Offer& b, double fps) {
    double da = fps > 0 ? std::fabs(a.rate - fps) : -a.rate;
    double db = fps > 0 ? std::fabs(b.rate - fps) : -b.rate;
    if (!sameRate(a.rate, b.rate) && da != db) return da < db;
    return !isCompressed(a.format) && isCompressed(b.format);
}

std::string ratesText(const std::vector<Offer>& offers) {
    std::vector<double> rates;
    for (const Offer& o : offers)
        if (o.rate > 0 && std::none_of(rates.begin(), rates.end(), [&](double r) { return sameRate(r, o.rate); }))
            rates.push_back(o.rate);
    std::sort(rates.rbegin(), rates.rend());
    std::string text;
    for (double r : rates) text += (text.empty() ? "" : ", ") + rateText(r);
    return text + " fps";
}

void chooseOffer(const CameraInfo& camera, const CameraRequest& request, Size size, CameraChoice* choice) {
    std::vector<Offer> offers = offersAt(camera, size);
    Offer best = offers.front();
    for (const Offer& o : offers)
        if (betterOffer(o, best, request.fps)) best = o;
    choice->format = best.format;
    choice->fps = best.rate > 0 ? best.rate : request.fps;
    if (request.fps > 0 && best.rate > 0 && !sameRate(best.rate, request.fps))
        choice->notes.push_back(camera.device + " offers no " + rateText(request.fps) + " fps at " + sizeText(size) +
                                " (it offers " + ratesText(offers) + "); using " + rateText(best.rate) + " fps");
}

}  // namespace

bool parseFrameSize(const std::string& text, int* width, int* height) {
    size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size()) return false;
    auto number = [](const std::string& digits, int* out) {
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
        *out = std::atoi(digits.c_str());
        return *out >= 1 && *out <= kMaxSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

CameraChoice chooseCameraMode(const CameraInfo& camera, const CameraRequest& request) {
    CameraChoice choice;
    std::vector<Size> sizes = offeredSizes(camera);
    if (sizes.empty()) {  // nothing known: pass the request on as it stands
        choice.width = request.width;
        choice.height = request.height;
        choice.fps = request.fps;
        return choice;
    }
    Size wanted{request.width, request.height};
    if (request.width <= 0) {
        wanted = Size{640, 480};
        // Without a size or a rate asked for, a camera without 640x480 keeps its own default;
        // a rate asked for needs a size to be offered at, the nearest one.
        const bool offered = std::find(sizes.begin(), sizes.end(), wanted) != sizes.end();
        if (!offered && request.fps <= 0) return choice;
    }
    Size size = nearestSize(sizes, wanted);
    if (size != wanted)
        choice.notes.push_back(camera.device + " offers no " + sizeText(wanted) + " (it offers " +
                               describeOffers(camera) + "); using " + sizeText(size));
    choice.width = size.width;
    choice.height = size.height;
    chooseOffer(camera, request, size, &choice);
    return choice;
}

std::string describeOffers(const CameraInfo& camera) {
    std::string text;
    for (Size s : offeredSizes(camera)) {
        if (!text.empty()) text += ", ";
        text += sizeText(s) + " (" + offersText(camera, s) + ")";
    }
    return text.empty() ? "no sizes it names" : text;
}

std::string describeCamera(const CameraInfo& camera) {
    std::string text = camera.device + ": " + camera.name + "\n";
    for (Size s : offeredSizes(camera)) text += "  " + sizeText(s) + ": " + offersText(camera, s) + "\n";
    if (camera.modes.empty()) text += "  (names no sizes)\n";
    return text;
}

std::string ffmpegInputFormat(const std::string& fourcc) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"YUYV", "yuyv422"}, {"UYVY", "uyvy422"}, {"YVYU", "yvyu422"}, {"NV12", "nv12"},   {"NV21", "nv21"},
        {"YU12", "yuv420p"}, {"GREY", "gray"},    {"RGB3", "rgb24"},   {"BGR3", "bgr24"},  {"MJPG", "mjpeg"},
        {"JPEG", "mjpeg"},   {"H264", "h264"},    {"RGBP", "rgb565le"}};
    for (const auto& [code, name] : kNames)
        if (fourcc == code) return name;
    return "";
}
