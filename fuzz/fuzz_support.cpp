#include "fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fuzz {
namespace {

struct Scratch {
    std::string path;
    Scratch() {
        // The caller's choice (scripts/fuzz keeps it in the build folder),
        // else a RAM disk: thousands of small writes per second.
        const char* chosen = getenv("ZINTRA_FUZZ_SCRATCH");
        for (const char* base : {chosen, "/dev/shm", "/tmp"}) {
            if (!base || !*base) continue;
            std::string pattern = std::string(base) + "/zintra-fuzz-XXXXXX";
            if (mkdtemp(pattern.data())) {
                path = pattern;
                return;
            }
        }
        Fail("no scratch folder", __FILE__, __LINE__);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchDir() {
    static Scratch scratch;
    return scratch.path;
}

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    abort();
}

}  // namespace fuzz
