// Throughput of the blitters on 800 x 640 Surfaces, each beside memcpy of the same
// number of bytes (the destination rectangle's), on every row-loop path (the argument:
// 2 AVX2, 1 SSE2, 0 portable). After the usual table it prints every blitter's best
// bytes per second as a fraction of memcpy's best. Then the presentation's scaler, in
// screen pixels a second: the playfield filled to 1920 x 1080, the 640 x 480 view too,
// and a clock-sized change of the playfield.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gfx/blit_path.h"
#include "gfx/surface.h"
#include "platform/soft/present_scale.h"
#include "support/test_surface_memory.h"

namespace {

constexpr int32_t Width = 800;
constexpr int32_t Height = 640;

// Sprite-like picture: 32 x 32 cells, each a filled disc on the key colour, so keyed
// loops meet runs of key, runs of colour and the edges between them.
void fillSprites(Surface& s) {
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            const int32_t cx = x % 32 - 16, cy = y % 32 - 16;
            const bool inside = cx * cx + cy * cy < 13 * 13;
            putPixel(s, x, y, inside ? 0x204080u + uint32_t(x * 3 + y * 5) : keyColour);
        }
}

void fillNoise(Surface& s, uint32_t seed) {
    uint32_t state = seed;
    const size_t n = memorySurfaceBytes(s);
    for (size_t i = 0; i < n; ++i) {
        state = state * 214013u + 2531011u;
        s.bits[i] = uint8_t(state >> 16);
    }
}

struct Playfields {
    MemorySurface a{Width, Height};
    MemorySurface b{Width, Height};
    MemorySurface sprites{Width, Height};
    MemorySurface dst{Width, Height};
    Playfields() {
        fillNoise(a, 1);
        fillNoise(b, 2);
        fillSprites(sprites);
        fillNoise(dst, 3);
    }
};

Playfields& fields() {
    static Playfields p;
    return p;
}

constexpr int64_t RectBytes = int64_t(Width) * Height * 3;

void finish(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * RectBytes);
}

// The argument is the row-loop path; a path this machine lacks is skipped.
bool usePath(benchmark::State& state) {
    const BlitPath wanted = BlitPath(state.range(0));
    if (setBlitPath(wanted) != wanted) {
        state.SkipWithError("path not available here");
        return false;
    }
    return true;
}

void Memcpy(benchmark::State& state) {
    Playfields& p = fields();
    for (auto _ : state) {
        std::memcpy(p.dst.bytes(), p.a.bytes(), size_t(RectBytes));
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CopyOpaque(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        copyRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, KeyOpaque);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CopyKeyedSprites(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        copyRect(p.dst, 0, 0, Width, Height, p.sprites, 0, 0, KeyTransparent);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CopyKeyedNoKey(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        copyRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, KeyTransparent);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void Fade(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        fadeRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, 77);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CrossFade(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        crossFadeRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, p.b, 0, 0, 100, KeyOpaque);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CrossFadeInPlace(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        crossFadeRect(p.dst, 0, 0, Width, Height, p.dst, 0, 0, p.b, 0, 0, 16, KeyOpaque);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void CrossFadeKeyedSprites(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        crossFadeRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, p.sprites, 0, 0, 100,
                      KeyTransparent);
        benchmark::ClobberMemory();
    }
    finish(state);
}

// Weights above 255 wrap and take the byte loop.
void CrossFadeWrappingLevel(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        crossFadeRect(p.dst, 0, 0, Width, Height, p.a, 0, 0, p.b, 0, 0, 272, KeyOpaque);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void FillRect(benchmark::State& state) {
    if (!usePath(state)) return;
    Playfields& p = fields();
    for (auto _ : state) {
        drawRect(p.dst, 0, 0, Width - 1, Height - 1, 0x123456, RectFill);
        benchmark::ClobberMemory();
    }
    finish(state);
}

// The argument: 0 the whole 800 x 640 playfield at 1350 x 1080, 1 the whole 640 x 480
// view at 1440 x 1080, 2 the screen pixels of a 100 x 20 change of the playfield (the
// board's clock) at 1350 x 1080.
void Scale(benchmark::State& state) {
    Playfields& p = fields();
    const bool view = state.range(0) == 1;
    const int32_t width = view ? 640 : Width, height = view ? 480 : Height;
    const int32_t shownWidth = view ? 1440 : 1350;
    PresentScaler scaler{};
    std::vector<uint8_t> screen(size_t(1920) * 1080 * 4);
    if (!presentScalerPrepare(scaler, width, height, shownWidth, 1080)) {
        state.SkipWithError("no memory");
        return;
    }
    PresentRect rect = {0, 0, shownWidth, 1080};
    if (state.range(0) == 2) {
        int32_t x0, x1, y0, y1;
        presentScaledSpan(350, 450, Width, shownWidth, &x0, &x1);
        presentScaledSpan(40, 60, Height, 1080, &y0, &y1);
        rect = PresentRect{x0, y0, x1 - x0, y1 - y0};
    }
    const Surface& picture = p.a;
    for (auto _ : state) {
        presentScale(scaler, picture.bits, picture.stride, rect, screen.data(), 1920 * 4, 285, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * rect.width * rect.height);
    presentScalerRelease(scaler);
}

// Collects the best bytes per second of every benchmark while the console shows them.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            const std::string name = run.run_name.str();
            if (best_.find(name) == best_.end()) order_.push_back(name);
            double& best = best_[name];
            if (it->second.value > best) best = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto base = best_.find("Memcpy");
        if (base == best_.end() || base->second <= 0) return;
        std::printf("\nbest throughput as a fraction of memcpy of the same bytes (%.2f GB/s):\n",
                    base->second / 1e9);
        for (const std::string& name : order_)
            std::printf("  %-28s %6.2f GB/s  %5.2fx\n", name.c_str(), best_[name] / 1e9,
                        best_[name] / base->second);
    }

private:
    std::map<std::string, double> best_;
    std::vector<std::string> order_;
};

}  // namespace

BENCHMARK(Memcpy);
BENCHMARK(CopyOpaque)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CopyKeyedSprites)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CopyKeyedNoKey)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(Fade)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CrossFade)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CrossFadeInPlace)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CrossFadeKeyedSprites)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(CrossFadeWrappingLevel)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(FillRect)->Arg(BlitAvx2)->Arg(BlitSse2)->Arg(BlitPortable);
BENCHMARK(Scale)->Arg(0)->Arg(1)->Arg(2);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
