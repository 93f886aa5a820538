// The real program stepping with ] round a folder of hostile entries:
// it stays responsive, keeps its memory bounded, quits with Escape and
// status 0, and (in a sanitizer build) reports nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void Chunk(Bytes& file, const char* type, const Bytes& data) {
    PutU32(file, std::uint32_t(data.size()));
    const std::size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    PutU32(file, std::uint32_t(crc32(0, file.data() + start, uInt(file.size() - start))));
}

// Grey8, all-zero rows deflated row by row: huge images from small files
// without ever holding their pixels here.
Bytes ZeroRowsPng(std::uint32_t width, std::uint32_t height) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}, ihdr;
    PutU32(ihdr, width);
    PutU32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    Chunk(file, "IHDR", ihdr);
    const Bytes row(std::size_t(width) + 1, 0);
    Bytes packed(1 << 16), idat;
    z_stream z = {};
    deflateInit(&z, 9);
    for (std::uint32_t y = 0; y <= height; ++y) {
        z.next_in = y == height ? nullptr : const_cast<Bytef*>(row.data());
        z.avail_in = y == height ? 0 : uInt(row.size());
        do {
            z.next_out = packed.data();
            z.avail_out = uInt(packed.size());
            deflate(&z, y == height ? Z_FINISH : Z_NO_FLUSH);
            idat.insert(idat.end(), packed.data(), z.next_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    Chunk(file, "IDAT", idat);
    Chunk(file, "IEND", {});
    return file;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return static_cast<bool>(out);
}

bool Solid(const std::string& path, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return e2e::WriteSolid(path, 32, {r, g, b});
}

// Peak resident memory of a running process, in KiB; -1 if unknown.
long PeakRssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

class HostileE2ETest : public e2e::SessionTest {
protected:
    void SetUp() override {
        // A sanitizer build of the program picks these up; others ignore them.
        setenv("ASAN_OPTIONS", "detect_leaks=1", 0);
        setenv("UBSAN_OPTIONS", "print_stacktrace=1", 0);
        // Leaks are judged from the log below: a library unloaded at exit
        // leaves leaks no suppression can name, so they must not set the status.
        setenv("LSAN_OPTIONS", "exitcode=0:suppressions=" ZINTRA_SOURCE_DIR "/tests/lsan.supp", 1);
        // A sanitizer build starts and ends slowly.
        windowTimeoutMs = 30000;
        exitTimeoutMs = 60000;
        SessionTest::SetUp();
    }
};

TEST_F(HostileE2ETest, StepsRoundAHostileFolderAndQuitsCleanly) {
    const std::string& dir = textureDir;
    // Sorted first ('!') and in the middle; everything between is hostile.
    ASSERT_TRUE(Solid(dir + "/!first.png", 0, 220, 0));
    ASSERT_TRUE(Solid(dir + "/m_middle.png", 220, 0, 0));
    ASSERT_TRUE(Solid(dir + "/100% & more.png", 0, 0, 220));
    ASSERT_TRUE(Solid(dir + "/\xc3\xa9t\xc3\xa9 \xe6\x97\xa5.png", 0, 0, 220));
    ASSERT_TRUE(Solid(dir + "/bad\xff.png", 0, 0, 220));
    Bytes good = ZeroRowsPng(8, 8);
    ASSERT_TRUE(WriteBytes(dir + "/empty.png", {}));
    ASSERT_TRUE(WriteBytes(dir + "/truncated.png", Bytes(good.begin(), good.begin() + 40)));
    Bytes badCrc = good;
    badCrc[29] ^= 0xff;
    ASSERT_TRUE(WriteBytes(dir + "/bad_crc.png", badCrc));
    Bytes text(good.begin(), good.begin() + 33);  // signature and IHDR
    text.insert(text.end(), {0x7f, 0xff, 0xff, 0xf0, 'z', 'T', 'X', 't', 'k', 0});
    ASSERT_TRUE(WriteBytes(dir + "/claims_2GiB_text.png", text));
    ASSERT_TRUE(WriteBytes(dir + "/bomb_20000x20000.png", ZeroRowsPng(20000, 20000)));
    ASSERT_TRUE(WriteBytes(dir + "/bomb_16384x4096.png", ZeroRowsPng(16384, 4096)));
    std::filesystem::create_directory(dir + "/directory.png");
    std::filesystem::create_symlink(dir + "/gone.png", dir + "/dangling.png");
    ASSERT_EQ(0, mkfifo((dir + "/fifo.png").c_str(), 0600));
    const int entries = 14;

    ASSERT_NO_FATAL_FAILURE(Start());
    // The area is looked up afresh for every check: the window may still be
    // on its way to its saved place when it first shows.
    auto showing = [&](const e2e::Image& shot, int r, int g) {
        const std::optional<e2e::Rect> area = session.GLArea();
        return shot.Valid() && area &&
               e2e::Near(shot.At(area->CentreX(), area->CentreY()), r, g, 0);
    };
    ASSERT_TRUE(showing(session.WaitForScreen([&](const e2e::Image& s) { return showing(s, 0, 220); },
                                              30000),
                        0, 220));

    // Presses that arrive while a load blocks may be merged, so keep
    // pressing until the first picture is back after the middle one.
    bool sawMiddle = false, wrapped = false;
    for (int press = 0; press < 4 * entries && !wrapped; ++press) {
        ASSERT_TRUE(session.ProgramRunning()) << "after " << press << " presses";
        e2e::SleepMs(150);
        ASSERT_TRUE(session.Key("bracketright"));
        // Once past the middle, give a slow (sanitizer) build time to draw.
        const e2e::Image shot = session.WaitForScreen(
            [&](const e2e::Image& s) { return showing(s, 220, 0) || showing(s, 0, 220); },
            sawMiddle ? 1500 : 250);
        sawMiddle = sawMiddle || showing(shot, 220, 0);
        wrapped = sawMiddle && showing(shot, 0, 220);
    }
    EXPECT_TRUE(sawMiddle);
    EXPECT_TRUE(wrapped) << "never came back to the first picture";

    const long peak = PeakRssKiB(session.ProgramPid());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 2L * 1024 * 1024) << "peak RSS in KiB";
    std::cout << "peak RSS " << peak << " KiB\n";

    // The sanitizer reports below are read even when this fails.
    QuitWithEscape();
    const std::string log = session.Log();
    for (const char* report : {"ERROR: AddressSanitizer", "runtime error:",
                               "WARNING: AddressSanitizer"})
        EXPECT_EQ(std::string::npos, log.find(report)) << report;
    // A leak report may only name libraries, never our own sources.
    const std::size_t leaks = log.find("ERROR: LeakSanitizer");
    if (leaks != std::string::npos) {
        EXPECT_EQ(std::string::npos, log.find(ZINTRA_SOURCE_DIR "/src/", leaks)) << log.substr(leaks);
    }
}

}  // namespace
