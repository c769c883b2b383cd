#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench_frames.h"
#include "tracking/auto_threshold.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

const BenchFrame& frameFor(benchmark::State& state) {
    const BenchFrame& frame = useBenchFrame(static_cast<BenchScene>(state.range(0)));
    state.SetLabel(frame.name);
    return frame;
}

void BM_LabelImage(benchmark::State& state) {
    const BenchFrame& frame = frameFor(state);
    int count, *areas, *boxes, *table;
    double* centroids;
    for (auto _ : state) {
        Label* labels = labelImage(frame.pixels.data(), 100, &count, &areas, &centroids, &boxes, &table);
        benchmark::DoNotOptimize(labels);
    }
}

void BM_DetectMarkers(benchmark::State& state) {
    const BenchFrame& frame = frameFor(state);
    resetMarkerHistory();
    DetectedMarker* list;
    int count = 0;
    for (auto _ : state) {
        detectMarkers(frame.pixels.data(), 100, &list, &count);
        benchmark::DoNotOptimize(list);
    }
    state.counters["markers"] = count;
}

// What the frame loop does: detection, then the pose of every identified marker. With
// automatic thresholding the level that found the marker is kept, as while tracking.
template <bool Automatic>
void detectAndPose(benchmark::State& state) {
    const BenchFrame& frame = frameFor(state);
    resetMarkerHistory();
    resetAutoThreshold();
    const double centre[2] = {0, 0};
    double transform[3][4];
    int identified = 0;
    for (auto _ : state) {
        DetectedMarker* list;
        int count = 0;
        if (Automatic)
            detectMarkersAuto(frame.pixels.data(), 100, &list, &count);
        else
            detectMarkers(frame.pixels.data(), 100, &list, &count);
        identified = 0;
        for (int i = 0; i < count; i++)
            if (list[i].id >= 0) identified++, benchmark::DoNotOptimize(estimateMarkerPose(&list[i], centre, 80.0, transform));
    }
    state.counters["identified"] = identified;
}

void BM_DetectAndPose(benchmark::State& state) { detectAndPose<false>(state); }
void BM_DetectAndPoseAuto(benchmark::State& state) { detectAndPose<true>(state); }

// Automatic thresholding on a frame the last level does not suit: the marker has just been lost
// (or has just come into view), so every frame searches.
void BM_DetectAutoSearching(benchmark::State& state) {
    const BenchFrame& frame = frameFor(state);
    int found = 0;
    for (auto _ : state) {
        resetMarkerHistory();
        resetAutoThreshold();
        DetectedMarker* list;
        int count = 0;
        detectMarkersAuto(frame.pixels.data(), 100, &list, &count);
        found = autoThresholdStatus().found;
    }
    state.counters["found"] = found;
    state.counters["attempts"] = autoThresholdStatus().attempts;
}

// The game's default frame: detection with automatic thresholding, then edge refinement and
// the polished pose of every identified marker.
void BM_DetectRefineAndPose(benchmark::State& state) {
    const BenchFrame& frame = frameFor(state);
    resetMarkerHistory();
    resetAutoThreshold();
    const double centre[2] = {0, 0};
    double transform[3][4];
    int refined = 0;
    for (auto _ : state) {
        DetectedMarker* list;
        int count = 0;
        detectMarkersAuto(frame.pixels.data(), 100, &list, &count);
        refined = 0;
        for (int i = 0; i < count; i++) {
            if (list[i].id < 0) continue;
            refined += refineMarkerEdges(frame.pixels.data(), &list[i]) == 0;
            benchmark::DoNotOptimize(estimatePrecisePose(&list[i], centre, 80.0, transform));
        }
    }
    state.counters["refined"] = refined;
}

// The one-marker frame's marker as detection gives it, and the angle search's pose of its
// refined corners: where refinement and the polish start from.
struct RefineStart {
    DetectedMarker detected;
    double searched[3][4];
};

bool refineStart(const std::vector<uint8_t>& frame, RefineStart* start) {
    resetMarkerHistory();
    DetectedMarker* list;
    int count = 0;
    if (detectMarkers(frame.data(), 100, &list, &count) < 0 || count < 1) return false;
    start->detected = list[0];
    DetectedMarker refined = list[0];
    const double centre[2] = {0, 0};
    return refineMarkerEdges(frame.data(), &refined) == 0 &&
           estimateMarkerPose(&refined, centre, 80.0, start->searched) >= 0;
}

// What refinement adds per marker (argument 0: both stages, 1: the sides re-located, 2: the polish).
void BM_RefineAndPolish(benchmark::State& state) {
    const std::vector<uint8_t>& frame = useBenchFrame(BenchScene::OneMarker).pixels;
    RefineStart start;
    if (!refineStart(frame, &start)) {
        state.SkipWithError("marker not detected or not refined");
        return;
    }
    const bool edges = state.range(0) != 2, polish = state.range(0) != 1;
    DetectedMarker refined = start.detected;
    refineMarkerEdges(frame.data(), &refined);
    const double centre[2] = {0, 0};
    for (auto _ : state) {
        DetectedMarker marker = edges ? start.detected : refined;
        if (edges) benchmark::DoNotOptimize(refineMarkerEdges(frame.data(), &marker));
        if (!polish) continue;
        double transform[3][4];
        std::copy(&start.searched[0][0], &start.searched[0][0] + 12, &transform[0][0]);
        benchmark::DoNotOptimize(polishMarkerPose(&marker, centre, 80.0, transform));
    }
    state.SetLabel(state.range(0) == 0 ? "edges_and_polish" : edges ? "edges" : "polish");
}

void BM_EstimateMarkerPose(benchmark::State& state) {
    const BenchFrame& frame = useBenchFrame(BenchScene::OneMarker);
    resetMarkerHistory();
    DetectedMarker* list;
    int count = 0;
    detectMarkers(frame.pixels.data(), 100, &list, &count);
    if (count < 1) {
        state.SkipWithError("no marker detected");
        return;
    }
    DetectedMarker marker = list[0];
    const double centre[2] = {0, 0};
    double transform[3][4];
    for (auto _ : state) benchmark::DoNotOptimize(estimateMarkerPose(&marker, centre, 80.0, transform));
}

void scenes(benchmark::internal::Benchmark* b, std::initializer_list<BenchScene> list) {
    for (BenchScene s : list) b->Arg(static_cast<int>(s));
}

void plainScenes(benchmark::internal::Benchmark* b) {
    scenes(b, {BenchScene::Empty, BenchScene::OneMarker, BenchScene::FiveMarkers, BenchScene::SaltAndPepper,
               BenchScene::OneMarker720, BenchScene::OneMarker1080});
}

// The worst case of a search: frames met cold under each hard light, with no marker and with one,
// at each size.
void searchScenes(benchmark::internal::Benchmark* b) {
    scenes(b, {BenchScene::Empty, BenchScene::SaltAndPepper});
    for (int size = 0; size < 3; size++)
        for (BenchScene s : {BenchScene::DimLost, BenchScene::OverExposedLost, BenchScene::GradientLost,
                             BenchScene::ShadowLost, BenchScene::DimMarker, BenchScene::OverExposedMarker,
                             BenchScene::GradientMarker, BenchScene::ShadowMarker})
            b->Arg(lightScene(s, size));
}

}  // namespace

BENCHMARK(BM_LabelImage)->Apply(plainScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectMarkers)->Apply(plainScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndPose)->Apply(plainScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndPoseAuto)->Apply(plainScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAutoSearching)->Apply(searchScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectRefineAndPose)->Apply(plainScenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateMarkerPose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefineAndPolish)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchFrames();  // render before timing
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
