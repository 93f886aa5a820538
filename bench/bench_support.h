// Shared pieces of the benchmarks: timing, medians, generated PNG files,
// a bare libpng decode, a software GL context and the result lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

double NowMs();

// Runs `a` then `b` once per repetition (so both see the same machine
// state) and returns the median time of each, in milliseconds.
struct Pair {
    double a = 0, b = 0;
};
// `untimed`, when given, runs after each timed call (to drop results).
Pair MedianPair(int repetitions, const std::function<void()>& a, const std::function<void()>& b,
                const std::function<void()>& untimed = nullptr);
double Median(std::vector<double> values);
// As MedianPair, with the least time of each: for long runs that the
// machine's other work can only slow down.
Pair MinPair(int repetitions, const std::function<void()>& a, const std::function<void()>& b,
             const std::function<void()>& untimed = nullptr);

// Prints "NAME: RATIO (target <= BOUND) PASS|FAIL" and returns the verdict.
bool Report(const char* name, double ratio, double bound);

// What a painted texture looks like to the compressor: smooth shading,
// fine grain, and magenta keyed blobs (about 1% of the texels). Flat is
// one opaque grey; LoneTexel is all magenta but one opaque texel, the
// hole fill's hardest case.
enum class Content { Painted, Flat, LoneTexel };
bool WriteTexturePng(const std::string& path, unsigned width, unsigned height, Content content);

// A temporary folder removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};

// The baseline: libpng alone, file to RGBA8 in a plain heap buffer.
struct Decoded {
    unsigned width = 0, height = 0;
    std::unique_ptr<std::uint8_t[]> rgba;
};
bool BareDecode(const char* path, Decoded* out);

// An OSMesa context made current for the object's lifetime.
class SoftwareContext {
public:
    SoftwareContext();
    ~SoftwareContext();
    SoftwareContext(const SoftwareContext&) = delete;
    SoftwareContext& operator=(const SoftwareContext&) = delete;
    bool ok() const { return ok_; }

private:
    void* context_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    bool ok_ = false;
};

// VmRSS / VmHWM of this process in bytes, 0 when unknown.
std::size_t StatusBytes(const char* field);

}  // namespace bench
