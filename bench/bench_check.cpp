// The seam check's targets: scoring a decoded 4096² image against its
// decode (the score reads edge bands only), and --check on a folder of
// 100 images of 1024² against decoding them one after another.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/seam_check.h"
#include "bench_support.h"
#include "glpng/decode/image_reader.h"
#include "glpng/seam_score.h"

namespace {

const std::uint8_t kKey[3] = {255, 0, 255};

bool Decode(const std::string& path, glpng::PixelBuffer* pixels, unsigned* w, unsigned* h) {
    glpng::ImageReader reader;
    if (!reader.Open(path.c_str()) || !reader.ReadKeyedImage(kKey, pixels)) return false;
    *w = reader.header().width;
    *h = reader.header().height;
    return true;
}

// Standard output to /dev/null while `run` runs: the check prints a line
// an image.
int Quietly(const std::function<int()>& run) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    const int status = run();
    dup2(saved, STDOUT_FILENO);
    close(null);
    close(saved);
    return status;
}

}  // namespace

int main() {
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string big = folder.path() + "/painted_4096.png";
    const std::string many = folder.path() + "/many";
    if (!bench::WriteTexturePng(big, 4096, 4096, bench::Content::Painted)) return 1;
    std::vector<std::string> files;
    if (std::system(("mkdir -p '" + many + "'").c_str()) != 0) return 1;
    for (int i = 0; i < 100; ++i) {
        files.push_back(many + "/tex" + std::to_string(i) + ".png");
        // Four distinct pictures, copied: each file is read and decoded anew.
        if (i < 4 ? !bench::WriteTexturePng(files.back(), 1024 + unsigned(i) % 2, 1024,
                                            bench::Content::Painted)
                  : std::system(("cp '" + files[std::size_t(i % 4)] + "' '" + files.back() + "'").c_str()) != 0)
            return 1;
    }

    glpng::PixelBuffer pixels(nullptr, std::free);
    unsigned w = 0, h = 0;
    if (!Decode(big, &pixels, &w, &h)) return 1;
    volatile double sink = 0;
    const bench::Pair score = bench::MedianPair(
        7, [&] { sink = sink + glpng::ScoreSeams(pixels.get(), w, h).across.score; },
        [&] {
            glpng::PixelBuffer again(nullptr, std::free);
            unsigned aw = 0, ah = 0;
            Decode(big, &again, &aw, &ah);
        });
    std::printf("  4096 x 4096: score %.2f ms, decode %.1f ms\n", score.a, score.b);
    pixels.reset();

    int status = -1;
    const bench::Pair folderTimes = bench::MedianPair(
        3, [&] { status = Quietly([&] { return RunSeamCheck({many}, false); }); },
        [&] {
            for (const std::string& file : files) {
                glpng::PixelBuffer one(nullptr, std::free);
                unsigned fw = 0, fh = 0;
                Decode(file, &one, &fw, &fh);
            }
        });
    std::printf("  100 x 1024²: --check %.0f ms (status %d), decoding them alone %.0f ms\n",
                folderTimes.a, status, folderTimes.b);

    bool pass = true;
    pass &= bench::Report("seam_check_4096", score.a / score.b, 0.1);
    pass &= bench::Report("check_folder_1024", status >= 0 ? folderTimes.a / folderTimes.b : 1e9, 1.5);
    return pass ? 0 : 3;
}
