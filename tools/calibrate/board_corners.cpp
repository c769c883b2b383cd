#include "board_corners.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

cv::Mat greyOf(const RgbPicture& picture) {
    cv::Mat rgb(picture.height, picture.width, CV_8UC3, const_cast<uint8_t*>(picture.rgb.data()));
    cv::Mat grey;
    cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
    return grey;
}

// The refinement window must stay inside the squares around each corner,
// also where a tilted board makes them narrow in one direction.
int refinementHalfWidth(const std::vector<cv::Point2f>& corners, int cols) {
    double nearest = 1e9;
    for (size_t k = 0; k < corners.size(); ++k) {
        if ((k + 1) % cols != 0) nearest = std::min(nearest, static_cast<double>(cv::norm(corners[k + 1] - corners[k])));
        if (k + cols < corners.size())
            nearest = std::min(nearest, static_cast<double>(cv::norm(corners[k + cols] - corners[k])));
    }
    return std::clamp(static_cast<int>(nearest / 2.0) - 1, 2, 11);
}

}  // namespace

bool findBoardCorners(const RgbPicture& picture, int cols, int rows, std::vector<ImagePoint>* corners) {
    cv::Mat grey = greyOf(picture);
    std::vector<cv::Point2f> found;
    int flags = cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE | cv::CALIB_CB_FAST_CHECK;
    if (!cv::findChessboardCorners(grey, cv::Size(cols, rows), found, flags)) return false;
    int half = refinementHalfWidth(found, cols);
    cv::cornerSubPix(grey, found, cv::Size(half, half), cv::Size(-1, -1),
                     cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 100, 1e-4));
    corners->clear();
    for (const cv::Point2f& p : found) corners->push_back(ImagePoint{p.x, p.y});
    return true;
}
