#include "camera_fit.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>

#include "tracking/pose.h"

// The start comes from OpenCV (focal length from the views' homographies, then
// each board's pose); the fit itself is a Levenberg-Marquardt search over the
// tracker's own model, projecting through the tracker's own distortion
// function, so the file describes exactly what the tracker will compute.

namespace {

enum { kFx, kFy, kPx, kPy, kCx, kCy, kCoefficient, kIntrinsics };
constexpr int kPoseParams = 6;
constexpr int kMaxIterations = 500;
constexpr double kMaxDamping = 1e12;
// Distortion coefficients to start from: none, strong barrel, mild pincushion.
constexpr double kStartCoefficients[] = {0.0, 60.0, -20.0};

struct Problem {
    const std::vector<std::vector<ImagePoint>>* views;
    std::vector<cv::Point3d> board;
    double square;
    int viewCount() const { return static_cast<int>(views->size()); }
    int pointCount() const { return static_cast<int>(board.size()); }
    int parameterCount() const { return kIntrinsics + kPoseParams * viewCount(); }
};

ImagePoint projectThrough(const double* q, const double p[3]) {
    double z = std::max(p[2], 1e-9);  // a board behind the camera only makes the step fail
    double ix = q[kFx] * p[0] / z + q[kPx], iy = q[kFy] * p[1] / z + q[kPy];
    const double distortion[4] = {q[kCx], q[kCy], q[kCoefficient], 1.0};
    ImagePoint o;
    idealToObserved(distortion, ix, iy, &o.x, &o.y);
    return o;
}

// Observed minus measured for every corner of view v: 2 values per corner.
void viewResiduals(const Problem& pr, const std::vector<double>& theta, int v, double* out) {
    const double* pose = &theta[kIntrinsics + kPoseParams * v];
    double R[3][3];
    rotationFromVector(pose, R);
    const std::vector<ImagePoint>& seen = (*pr.views)[v];
    for (int k = 0; k < pr.pointCount(); ++k) {
        const cv::Point3d& X = pr.board[k];
        double p[3];
        for (int r = 0; r < 3; ++r) p[r] = R[r][0] * X.x + R[r][1] * X.y + R[r][2] * X.z + pose[3 + r];
        ImagePoint o = projectThrough(theta.data(), p);
        out[2 * k] = o.x - seen[k].x;
        out[2 * k + 1] = o.y - seen[k].y;
    }
}

double squaredSum(const std::vector<double>& r) {
    double s = 0.0;
    for (double x : r) s += x * x;
    return s;
}

double viewCost(const Problem& pr, const std::vector<double>& theta, int v) {
    std::vector<double> r(2 * pr.pointCount());
    viewResiduals(pr, theta, v, r.data());
    return squaredSum(r);
}

double totalCost(const Problem& pr, const std::vector<double>& theta) {
    double cost = 0.0;
    for (int v = 0; v < pr.viewCount(); ++v) cost += viewCost(pr, theta, v);
    return std::isfinite(cost) ? cost : HUGE_VAL;
}

// Central differences: small enough steps that the fit ends at the model's own optimum.
double stepFor(const Problem& pr, int index, double value) {
    double typical = 1.0;
    if (index >= kIntrinsics && (index - kIntrinsics) % kPoseParams >= 3) typical = pr.square;
    return 1e-6 * std::max(std::fabs(value), typical);
}

// Derivative of view v's residuals by parameter `index` into `column`.
void residualDerivative(const Problem& pr, std::vector<double>& theta, int v, int index, double* column) {
    int m = 2 * pr.pointCount();
    std::vector<double> plus(m), minus(m);
    double saved = theta[index], h = stepFor(pr, index, saved);
    theta[index] = saved + h;
    viewResiduals(pr, theta, v, plus.data());
    theta[index] = saved - h;
    viewResiduals(pr, theta, v, minus.data());
    theta[index] = saved;
    for (int i = 0; i < m; ++i) column[i] = (plus[i] - minus[i]) / (2.0 * h);
}

// Adds view v's share to the normal equations A = J'J and g = J'r.
void addViewToNormalEquations(const Problem& pr, std::vector<double>& theta, int v, cv::Mat& A, cv::Mat& g) {
    int m = 2 * pr.pointCount(), first = kIntrinsics + kPoseParams * v;
    std::vector<int> index;
    for (int i = 0; i < kIntrinsics; ++i) index.push_back(i);
    for (int i = 0; i < kPoseParams; ++i) index.push_back(first + i);
    std::vector<std::vector<double>> J(index.size(), std::vector<double>(m));
    for (size_t c = 0; c < index.size(); ++c) residualDerivative(pr, theta, v, index[c], J[c].data());
    std::vector<double> r(m);
    viewResiduals(pr, theta, v, r.data());
    for (size_t a = 0; a < index.size(); ++a) {
        for (size_t b = 0; b < index.size(); ++b) {
            double s = 0.0;
            for (int i = 0; i < m; ++i) s += J[a][i] * J[b][i];
            A.at<double>(index[a], index[b]) += s;
        }
        double s = 0.0;
        for (int i = 0; i < m; ++i) s += J[a][i] * r[i];
        g.at<double>(index[a]) += s;
    }
}

// Solves (A + damping * diag(A)) d = -g; false when the system is not positive definite.
bool dampedStep(const cv::Mat& A, const cv::Mat& g, double damping, std::vector<double>* step) {
    cv::Mat M = A.clone();
    double largest = 0.0;
    for (int i = 0; i < A.rows; ++i) largest = std::max(largest, A.at<double>(i, i));
    for (int i = 0; i < A.rows; ++i)  // parameters the views do not yet move still get a little damping
        M.at<double>(i, i) += damping * std::max(A.at<double>(i, i), 1e-12 * largest);
    cv::Mat d;
    if (!cv::solve(M, -g, d, cv::DECOMP_CHOLESKY)) return false;
    step->assign(d.begin<double>(), d.end<double>());
    return std::all_of(step->begin(), step->end(), [](double x) { return std::isfinite(x); });
}

// Levenberg-Marquardt on all parameters; returns the iterations taken.
int minimise(const Problem& pr, std::vector<double>& theta) {
    int n = pr.parameterCount(), iterations = 0, stalled = 0;
    double cost = totalCost(pr, theta), damping = 1e-3;
    while (iterations < kMaxIterations && damping < kMaxDamping && stalled < 3) {
        ++iterations;
        cv::Mat A = cv::Mat::zeros(n, n, CV_64F), g = cv::Mat::zeros(n, 1, CV_64F);
        for (int v = 0; v < pr.viewCount(); ++v) addViewToNormalEquations(pr, theta, v, A, g);
        for (;;) {
            std::vector<double> step, trial = theta;
            if (dampedStep(A, g, damping, &step)) {
                for (int i = 0; i < n; ++i) trial[i] += step[i];
                double trialCost = totalCost(pr, trial);
                if (trialCost < cost) {
                    stalled = cost - trialCost <= 1e-13 * cost ? stalled + 1 : 0;
                    theta = trial;
                    cost = trialCost;
                    damping = std::max(damping / 10.0, 1e-12);
                    break;
                }
            }
            damping *= 10.0;
            if (damping >= kMaxDamping) break;
        }
    }
    return iterations;
}

std::vector<cv::Point3d> boardPoints(const BoardShape& board) {
    std::vector<cv::Point3d> points;
    for (int r = 0; r < board.rows; ++r)
        for (int c = 0; c < board.cols; ++c) points.emplace_back(c * board.square, r * board.square, 0.0);
    return points;
}

// Focal lengths from the homographies with the principal point at the centre,
// then each board's pose for that camera, distortion none.
bool initialGuess(const Problem& pr, int width, int height, std::vector<double>* theta, std::string* error) {
    std::vector<std::vector<cv::Point3f>> objects;
    std::vector<std::vector<cv::Point2f>> images;
    for (const auto& view : *pr.views) {
        objects.emplace_back(pr.board.begin(), pr.board.end());
        images.emplace_back();
        for (const ImagePoint& p : view) images.back().emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    cv::Mat K = cv::initCameraMatrix2D(objects, images, cv::Size(width, height), 0.0);
    double fx = K.at<double>(0, 0), fy = K.at<double>(1, 1), cx = K.at<double>(0, 2), cy = K.at<double>(1, 2);
    if (!(fx > 0 && fy > 0 && std::isfinite(fx) && std::isfinite(fy))) {
        *error = "the views do not fix the focal length: show the board tilted in several directions";
        return false;
    }
    *theta = {fx, fy, cx, cy, cx, cy, 0.0};
    for (size_t v = 0; v < images.size(); ++v) {
        cv::Mat rvec, tvec;
        cv::solvePnP(objects[v], images[v], K, cv::noArray(), rvec, tvec);
        for (int i = 0; i < 3; ++i) theta->push_back(rvec.at<double>(i));
        for (int i = 0; i < 3; ++i) theta->push_back(tvec.at<double>(i));
    }
    return true;
}

CameraIntrinsics intrinsicsFrom(const std::vector<double>& q, int width, int height) {
    CameraIntrinsics c{};
    c.width = width;
    c.height = height;
    const double P[3][4] = {{q[kFx], 0, q[kPx], 0}, {0, q[kFy], q[kPy], 0}, {0, 0, 1, 0}};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 4; ++k) c.projection[r][k] = P[r][k];
    const double distortion[4] = {q[kCx], q[kCy], q[kCoefficient], 1.0};
    for (int i = 0; i < 4; ++i) c.distortion[i] = distortion[i];
    return c;
}

void describeFit(const Problem& pr, const std::vector<double>& theta, CameraFit* fit) {
    double total = 0.0;
    fit->poses.clear();
    fit->viewRms.clear();
    for (int v = 0; v < pr.viewCount(); ++v) {
        double cost = viewCost(pr, theta, v);
        total += cost;
        fit->viewRms.push_back(std::sqrt(cost / pr.pointCount()));
        ViewPose pose;
        for (int i = 0; i < 3; ++i) {
            pose.rotation[i] = theta[kIntrinsics + kPoseParams * v + i];
            pose.translation[i] = theta[kIntrinsics + kPoseParams * v + 3 + i];
        }
        fit->poses.push_back(pose);
    }
    fit->rms = std::sqrt(total / (pr.pointCount() * pr.viewCount()));
}

bool checkInput(const std::vector<std::vector<ImagePoint>>& views, const BoardShape& board, int width, int height,
                std::string* error) {
    if (board.cols < 2 || board.rows < 2 || !(board.square > 0)) *error = "the board needs at least 2x2 corners";
    else if (width <= 0 || height <= 0) *error = "no image size";
    else if (views.size() < 3) *error = "at least 3 views of the board are needed";
    for (const auto& view : views)
        if (error->empty() && view.size() != static_cast<size_t>(board.cols * board.rows))
            *error = "a view does not hold every corner of the board";
    return error->empty();
}

}  // namespace

bool fitCamera(const std::vector<std::vector<ImagePoint>>& views, const BoardShape& board, int width, int height,
               CameraFit* fit, std::string* error) {
    error->clear();
    if (!checkInput(views, board, width, height, error)) return false;
    Problem pr{&views, boardPoints(board), board.square};
    std::vector<double> start, theta;
    if (!initialGuess(pr, width, height, &start, error)) return false;
    // Starting without distortion finds the optimum on real lenses; the other
    // starts guard against a lens whose distortion leads the search astray.
    fit->iterations = 0;
    double best = HUGE_VAL;
    for (double coefficient : kStartCoefficients) {
        std::vector<double> trial = start;
        trial[kCoefficient] = coefficient;
        fit->iterations += minimise(pr, trial);
        double cost = totalCost(pr, trial);
        if (cost < best) best = cost, theta = trial;
    }
    if (!(theta[kFx] > 0 && theta[kFy] > 0) || !std::isfinite(totalCost(pr, theta))) {
        *error = "the fit did not converge to a usable camera";
        return false;
    }
    fit->camera = intrinsicsFrom(theta, width, height);
    describeFit(pr, theta, fit);
    return true;
}

ImagePoint projectCameraPoint(const CameraIntrinsics& camera, const double p[3]) {
    double h[3];
    for (int r = 0; r < 3; ++r) {
        const double* row = camera.projection[r];
        h[r] = row[0] * p[0] + row[1] * p[1] + row[2] * p[2] + row[3];
    }
    ImagePoint o;
    idealToObserved(camera.distortion, h[0] / h[2], h[1] / h[2], &o.x, &o.y);
    return o;
}
