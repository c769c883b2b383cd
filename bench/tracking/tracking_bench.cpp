#include <benchmark/benchmark.h>

#include "bench_frames.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"
#include "tracking/pose.h"

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
BENCHMARK(BM_EstimateMarkerPose)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchFrames();  // render before timing
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
