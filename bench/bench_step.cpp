// A ] step through a folder of 4096² files, to the frame that shows the
// new file: with the neighbour prepared in the background, and with
// nothing prepared, against a bare libpng decode of one of the files.
// Each repetition runs all three back to back with the worker idle.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/tester_app.h"
#include "bench_support.h"
#include "platform/headless/headless.h"
#include "render/texture_bank.h"

namespace {

constexpr int kRepetitions = 7;
constexpr int kFiles = 4;

}  // namespace

int main() {
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string dir = folder.path() + "/textures";
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) return 1;
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(dir + "/painted_" + std::to_string(i) + ".png");
        if (i == 0 ? !bench::WriteTexturePng(files[0], 4096, 4096, bench::Content::Painted)
                   : std::system(("cp '" + files[0] + "' '" + files[i] + "'").c_str()) != 0) {
            std::printf("cannot write the inputs\n");
            return 1;
        }
    }

    bench::SoftwareContext context;
    if (!context.ok()) {
        std::printf("no OSMesa context\n");
        return 1;
    }
    gTextureBank.ResetAll(1, 1, 1);
    auto app = std::make_unique<TesterApp>();
    app->exeDir = folder.path();
    app->ResizeViewport(512, 512);
    ViewerScene& viewer = *app->viewer;
    viewer.showHud = false;
    viewer.SetDirectory(dir.c_str(), false);
    viewer.Enter();
    viewer.Update();

    const auto step = [&] {
        const double start = bench::NowMs();
        viewer.StepTexture(true, true);
        viewer.Update();
        viewer.Draw();
        glFinish();
        return bench::NowMs() - start;
    };
    std::vector<double> prefetched, cold, bare;
    bool shown = true;
    for (int i = 0; i < kRepetitions; ++i) {
        viewer.prefetch->WaitIdle();
        prefetched.push_back(step());
        shown = shown && viewer.shownReadable;

        viewer.prefetch->WaitIdle();
        viewer.prefetch->Want({});  // nothing prepared
        cold.push_back(step());
        shown = shown && viewer.shownReadable;

        viewer.prefetch->WaitIdle();
        bench::Decoded decoded;
        const double start = bench::NowMs();
        bench::BareDecode(files[0].c_str(), &decoded);
        bare.push_back(bench::NowMs() - start);
    }
    const double p = bench::Median(prefetched), c = bench::Median(cold), b = bench::Median(bare);
    std::printf("  4096 x 4096 step: prefetched %.1f ms, cold %.1f ms; bare decode %.1f ms\n", p,
                c, b);
    if (!shown) std::printf("  a step FAILED to show its file\n");

    bool pass = true;
    pass &= bench::Report("step_prefetched_4096", shown ? p / c : 1e9, 0.1);
    pass &= bench::Report("step_cold_4096", shown ? c / b : 1e9, 1.1);
    app.reset();
    gTextureBank.ReleaseAll();
    return pass ? 0 : 3;
}
