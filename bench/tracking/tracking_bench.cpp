#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench_frames.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

const BenchScene kScenes[] = {BenchScene::Empty, BenchScene::OneMarker, BenchScene::FiveMarkers,
                              BenchScene::SaltAndPepper};
const char* const kSceneNames[] = {"no_marker", "one_marker", "five_markers", "salt_and_pepper"};

const std::vector<uint8_t>& frameFor(benchmark::State& state) {
    int scene = static_cast<int>(state.range(0));
    state.SetLabel(kSceneNames[scene]);
    return benchFrame(kScenes[scene]);
}

void BM_LabelImage(benchmark::State& state) {
    const std::vector<uint8_t>& frame = frameFor(state);
    int count, *areas, *boxes, *table;
    double* centroids;
    for (auto _ : state) {
        int16_t* labels = labelImage(frame.data(), 100, &count, &areas, &centroids, &boxes, &table);
        benchmark::DoNotOptimize(labels);
    }
}

void BM_DetectMarkers(benchmark::State& state) {
    const std::vector<uint8_t>& frame = frameFor(state);
    resetMarkerHistory();
    DetectedMarker* list;
    int count = 0;
    for (auto _ : state) {
        detectMarkers(frame.data(), 100, &list, &count);
        benchmark::DoNotOptimize(list);
    }
    state.counters["markers"] = count;
}

// What the frame loop does: detection, then the pose of every identified marker.
void BM_DetectAndPose(benchmark::State& state) {
    const std::vector<uint8_t>& frame = frameFor(state);
    resetMarkerHistory();
    const double centre[2] = {0, 0};
    double transform[3][4];
    for (auto _ : state) {
        DetectedMarker* list;
        int count = 0;
        detectMarkers(frame.data(), 100, &list, &count);
        for (int i = 0; i < count; i++)
            if (list[i].id >= 0) benchmark::DoNotOptimize(estimateMarkerPose(&list[i], centre, 80.0, transform));
    }
}

// The game's default frame: detection, then edge refinement and the polished pose of every
// identified marker.
void BM_DetectRefineAndPose(benchmark::State& state) {
    const std::vector<uint8_t>& frame = frameFor(state);
    resetMarkerHistory();
    const double centre[2] = {0, 0};
    double transform[3][4];
    for (auto _ : state) {
        DetectedMarker* list;
        int count = 0;
        detectMarkers(frame.data(), 100, &list, &count);
        for (int i = 0; i < count; i++) {
            if (list[i].id < 0) continue;
            refineMarkerEdges(frame.data(), &list[i]);
            benchmark::DoNotOptimize(estimatePrecisePose(&list[i], centre, 80.0, transform));
        }
    }
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
    const std::vector<uint8_t>& frame = benchFrame(BenchScene::OneMarker);
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
    const std::vector<uint8_t>& frame = benchFrame(BenchScene::OneMarker);
    resetMarkerHistory();
    DetectedMarker* list;
    int count = 0;
    detectMarkers(frame.data(), 100, &list, &count);
    if (count < 1) {
        state.SkipWithError("no marker detected");
        return;
    }
    DetectedMarker marker = list[0];
    const double centre[2] = {0, 0};
    double transform[3][4];
    for (auto _ : state) benchmark::DoNotOptimize(estimateMarkerPose(&marker, centre, 80.0, transform));
}

void scenes(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < 4; i++) b->Arg(i);
}

}  // namespace

BENCHMARK(BM_LabelImage)->Apply(scenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectMarkers)->Apply(scenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndPose)->Apply(scenes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectRefineAndPose)->Apply(scenes)->Unit(benchmark::kMillisecond);
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
