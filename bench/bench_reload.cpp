// Live reload's targets: the time from a finished save to the new picture
// against loading that file alone plus the watch's look interval, and the
// CPU the watch takes while the file on show stays as it is and frames are
// drawn, polled (where the system gives no folder watch) and told of.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/tester_app.h"
#include "bench_support.h"
#include "platform/headless/headless.h"
#include "render/texture_bank.h"
#include "viewer/change_watch.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Saves as many editors do: a temporary renamed over the file.
bool AtomicSave(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main() {
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string dir = folder.path() + "/textures";
    const std::string scratch = folder.path() + "/scratch.png";
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) return 1;
    const std::string file = dir + "/painted_1024.png";
    std::vector<std::string> versions;
    for (bench::Content c : {bench::Content::Painted, bench::Content::Flat}) {
        if (!bench::WriteTexturePng(scratch, 1024, 1024, c)) return 1;
        versions.push_back(ReadAll(scratch));
    }
    if (!AtomicSave(file, versions[0])) return 1;

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
    viewer.SetDirectory(dir.c_str(), false);
    viewer.Enter();
    viewer.Update();

    // A save, then frames at about 60 a second until the new picture shows.
    std::vector<double> latencies, loads;
    for (int i = 1; i <= 6; ++i) {
        // The painter's pace: a save after a spell without one, at
        // another moment between two looks each time.
        const double spell = ChangeWatch::kQuietMs + 50 + 17 * i;
        for (const double idle = bench::NowMs(); bench::NowMs() - idle < spell;) {
            usleep(16000);
            viewer.Update();
        }
        const GLuint before = viewer.texture;
        if (!AtomicSave(file, versions[i % 2])) return 1;
        const double saved = bench::NowMs();
        while (viewer.texture == before && bench::NowMs() - saved < 5000) {
            usleep(16000);
            viewer.Update();
        }
        glFinish();
        latencies.push_back(bench::NowMs() - saved);
        const double start = bench::NowMs();
        std::uint16_t size[2];
        gTextureBank.LoadPng(file.c_str(), size, -1, 1);
        glFinish();
        loads.push_back(bench::NowMs() - start);
    }
    const double latency = bench::Median(latencies), load = bench::Median(loads);
    const double expected = load + ChangeWatch::kIntervalMs;
    std::printf("  save to picture %.1f ms; load %.1f ms + look interval %.0f ms\n", latency, load,
                ChangeWatch::kIntervalMs);

    // Ten seconds of frames with the file unchanged: the watch's own cost.
    const auto watchCost = [&](const ChangeWatch::Notices* notices) {
        ChangeWatch watch;
        watch.UseNotices(notices);
        watch.Watch(file, dir);
        double cpu = 0;
        const double wallStart = bench::NowMs();
        double last = wallStart;
        while (bench::NowMs() - wallStart < 10000) {
            usleep(16000);
            const double now = bench::NowMs();
            const double before = CpuSeconds();
            watch.Poll(now - last);
            cpu += CpuSeconds() - before;
            last = now;
        }
        return cpu / ((bench::NowMs() - wallStart) / 1000.0);
    };
    const double perSecond = watchCost(nullptr);
    const double toldPerSecond = watchCost(&ChangeWatch::kSystemNotices);
    std::printf("  watching: %.2f ms of CPU a minute polled, %.2f told of (at 60 frames a second;"
                " none while the loop sleeps)\n",
                perSecond * 60000.0, toldPerSecond * 60000.0);

    bool pass = true;
    pass &= bench::Report("reload_latency_1024", latency / expected, 1.3);
    pass &= bench::Report("watch_cpu", perSecond, 0.001);
    app.reset();
    gTextureBank.ReleaseAll();
    return pass ? 0 : 3;
}
