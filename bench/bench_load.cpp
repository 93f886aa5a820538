// The loader's targets: whole loads and the mip chain against a bare
// libpng decode of the same file, and the peak memory of one load.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "glpng/decode/png_decode.h"
#include "glpng/decode/png_reference.h"
#include "glpng/mip_levels.h"
#include "platform/gl.h"
#include "render/texture_bank.h"

namespace {

constexpr int kRepetitions = 7;

bool LoadOnce(const std::string& path) {
    std::uint16_t size[2] = {0, 0};
    const GLuint name = gTextureBank.LoadPng(path.c_str(), size, 2, 1);
    glFinish();
    return name != 0;
}

double LoadRatio(const std::string& path) {
    bool loaded = true;
    bench::Decoded decoded;
    const bench::Pair t = bench::MedianPair(
        kRepetitions, [&] { loaded = LoadOnce(path) && loaded; },
        [&] { bench::BareDecode(path.c_str(), &decoded); },
        [&] {
            gTextureBank.ResetPool(2, 1);
            decoded = bench::Decoded();
        });
    if (!loaded) std::printf("  load of %s FAILED\n", path.c_str());
    std::printf("  %s: load %.1f ms, bare decode %.1f ms\n", path.c_str(), t.a, t.b);
    return loaded ? t.a / t.b : 1e9;
}

// The project's decode (the loader's reader: every row decoded and keyed,
// into a buffer reused from run to run) against bare libpng.
double DecodeRatio(const std::string& path) {
    bool decoded = true;
    std::vector<std::uint8_t> rows;
    std::vector<std::uint32_t> keyed;
    bench::Decoded bare;
    const std::uint8_t key[3] = {255, 0, 255};
    bool fast = true;
    const bench::Pair t = bench::MedianPair(
        kRepetitions,
        [&] {
            glpng::PngRowReader reader;
            if (!reader.Open(path.c_str())) {
                decoded = false;
                return;
            }
            const glpng::PngHeader& h = reader.header();
            rows.resize(std::size_t(h.width) * h.height * 4);
            keyed.resize(h.height);
            fast = fast && reader.OnFastPath();
            decoded = reader.ReadKeyedRows(rows.data(), h.height, key, keyed.data()) && decoded;
        },
        [&] { bench::BareDecode(path.c_str(), &bare); }, [&] { bare = bench::Decoded(); });
    std::printf("  %s: decode %.1f ms (%s), bare decode %.1f ms\n", path.c_str(), t.a,
                fast ? "fast path" : "libpng", t.b);
    return decoded ? t.a / t.b : 1e9;
}

// The hole fill's worst case, a lone opaque texel among 64 Mi keyed ones,
// against an opaque file of the same size; loads alternate, and the
// fastest of each counts: a second each, they are the runs most slowed
// by whatever else the machine does.
double FillWorstRatio(const std::string& lone, const std::string& opaque) {
    bool loaded = true;
    const auto reset = [] { gTextureBank.ResetPool(2, 1); };
    const bench::Pair t = bench::MinPair(
        7, [&] { loaded = LoadOnce(lone) && loaded; },
        [&] { loaded = LoadOnce(opaque) && loaded; }, reset);
    if (!loaded) std::printf("  load of the 8192 x 8192 files FAILED\n");
    std::printf("  8192 x 8192: one opaque texel %.1f ms, all opaque %.1f ms\n", t.a, t.b);
    return loaded ? t.a / t.b : 1e9;
}

double MipRatio(const std::string& path) {
    glpng::Image image;
    if (!glpng::DecodePngFile(path.c_str(), &image)) return 1e9;
    glpng::Image copy = image;
    bench::Decoded decoded;
    // The loader's chain: each level halved in place over the one before.
    const bench::Pair t = bench::MedianPair(
        kRepetitions,
        [&] {
            unsigned w = copy.width, h = copy.height;
            while (w > 1 || h > 1) {
                glpng::HalveBoxInto(copy.rgba.data(), w, h, copy.rgba.data());
                w = w > 1 ? w / 2 : 1;
                h = h > 1 ? h / 2 : 1;
            }
        },
        [&] { bench::BareDecode(path.c_str(), &decoded); },
        [&] {
            copy.rgba = image.rgba;
            decoded = bench::Decoded();
        });
    std::vector<double> separate;
    for (int i = 0; i < 3; ++i) {
        const double t0 = bench::NowMs();
        const std::vector<glpng::Image> chain = glpng::BuildMipChain(image);
        separate.push_back(bench::NowMs() - t0);
    }
    std::printf("  mip chain in place %.1f ms (BuildMipChain into new images %.1f ms), "
                "bare decode %.1f ms\n", t.a, bench::Median(separate), t.b);
    return t.a / t.b;
}

// Child side: a fresh process with a context and a warmed-up loader
// reports its RSS, loads the image and reports its peak.
int PeakChild(const char* path, const char* tiny) {
    bench::SoftwareContext context;
    if (!context.ok()) return 2;
    gTextureBank.ResetAll(1, 1, 1);
    if (!LoadOnce(tiny)) return 3;
    const std::size_t empty = bench::StatusBytes("VmRSS");
    if (!LoadOnce(path)) return 4;
    const std::size_t peak = bench::StatusBytes("VmHWM");
    std::printf("%zu %zu\n", empty, peak);
    return 0;
}

bool RunPeakChild(const std::string& path, const std::string& tiny, double* ratio) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/proc/self/exe", "zintra_bench", "--peak-child", path.c_str(), tiny.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char text[128] = {};
    std::size_t got = 0;
    for (ssize_t n; got + 1 < sizeof text && (n = read(fds[0], text + got, sizeof text - 1 - got)) > 0;)
        got += std::size_t(n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    unsigned long long empty = 0, peak = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text, "%llu %llu", &empty, &peak) != 2)
        return false;
    const double image = 4096.0 * 4096.0 * 4.0;
    std::printf("  empty start %.1f MiB, peak %.1f MiB, image %.1f MiB\n", empty / 1048576.0,
                peak / 1048576.0, image / 1048576.0);
    *ratio = double(peak) / (image + double(empty));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak-child") == 0) return PeakChild(argv[2], argv[3]);
    // For profilers: N loads of one file and nothing else.
    if (argc == 4 && std::strcmp(argv[1], "--loads") == 0) {
        bench::SoftwareContext context;
        gTextureBank.ResetAll(1, 1, 1);
        for (int i = std::atoi(argv[3]); i > 0; --i) {
            LoadOnce(argv[2]);
            gTextureBank.ResetPool(2, 1);
        }
        return 0;
    }

    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string big = folder.path() + "/painted_4096.png";
    const std::string npot = folder.path() + "/painted_3000.png";
    const std::string tiny = folder.path() + "/tiny.png";
    const std::string lone = folder.path() + "/lone_texel_8192.png";
    const std::string opaque = folder.path() + "/opaque_8192.png";
    if (!bench::WriteTexturePng(big, 4096, 4096, bench::Content::Painted) ||
        !bench::WriteTexturePng(npot, 3000, 3000, bench::Content::Painted) ||
        !bench::WriteTexturePng(tiny, 4, 4, bench::Content::Painted) ||
        !bench::WriteTexturePng(lone, 8192, 8192, bench::Content::LoneTexel) ||
        !bench::WriteTexturePng(opaque, 8192, 8192, bench::Content::Flat)) {
        std::printf("cannot write the inputs\n");
        return 1;
    }

    std::vector<double> peaks;
    for (int i = 0; i < 3; ++i) {
        double ratio = 0;
        if (RunPeakChild(big, tiny, &ratio)) peaks.push_back(ratio);
    }

    bench::SoftwareContext context;
    if (!context.ok()) {
        std::printf("no OSMesa context\n");
        return 1;
    }
    gTextureBank.ResetAll(1, 1, 1);
    LoadOnce(tiny);  // warm up the code paths
    gTextureBank.ResetPool(2, 1);

    bool pass = true;
    pass &= bench::Report("decode_4096", DecodeRatio(big), 0.75);
    pass &= bench::Report("load_4096", LoadRatio(big), 1.0);
    pass &= bench::Report("load_npot_3000", LoadRatio(npot), 1.0);
    pass &= bench::Report("mipmaps_4096", MipRatio(big), 0.15);
    pass &= bench::Report("fill_worst_8192", FillWorstRatio(lone, opaque), 1.5);
    pass &= bench::Report("peak_memory_4096", peaks.empty() ? 1e9 : bench::Median(peaks), 1.6);
    gTextureBank.ReleaseAll();
    return pass ? 0 : 3;
}
