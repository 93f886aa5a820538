#include "support/viewer_fixture.h"

#include <stdlib.h>

#include <cmath>
#include <filesystem>

#include "platform/headless/headless.h"
#include "render/texture_bank.h"

namespace {

// Nanosecond counter moved by the tests.
struct FakeClock {
    static std::int64_t now;
    static bool Frequency(std::int64_t* out) {
        *out = 1000000000;
        return true;
    }
    static bool Counter(std::int64_t* out) {
        *out = now;
        return true;
    }
    static std::uint32_t Milliseconds() { return static_cast<std::uint32_t>(now / 1000000); }
};
std::int64_t FakeClock::now = 0;

// Small solid HUD images, each its own colour, so their places can be found.
testpng::Sample HudColour(int which) {
    switch (which) {
    case 0: return testpng::Sample::Rgb(255, 0, 0);    // legal
    case 1: return testpng::Sample::Rgb(0, 255, 0);    // web
    case 2: return testpng::Sample::Rgb(0, 0, 255);    // controls
    default: return testpng::Sample::Rgb(255, 255, 0); // mouse
    }
}

}  // namespace

void ViewerFixture::SetUp() {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    headless::Reset();
    gTextureBank.ReleaseAll();
    FakeClock::now = 1000000000;

    char pattern[] = "/tmp/zintra-viewer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    textures_ = root_ + "/textures";
    std::filesystem::create_directories(root_ + "/system");
    std::filesystem::create_directories(textures_);
    const char* names[4] = {"legal.png", "web.png", "controls.png", "mouse.png"};
    for (int i = 0; i < 4; ++i) {
        testpng::Picture pic;
        pic.width = 16;
        pic.height = 16;
        pic.color = testpng::Color::Rgb;
        pic.pixel = [i](unsigned, unsigned) { return HudColour(i); };
        ASSERT_TRUE(testpng::WritePng(root_ + "/system/" + names[i], pic));
    }

    app_ = std::make_unique<TesterApp>();
    app_->exeDir = root_;
}

void ViewerFixture::TearDown() {
    app_.reset();
    // The names belong to this test's context; drop them while it lives.
    gTextureBank.ReleaseAll();
    headless::Reset();
    if (!root_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    GLTest::TearDown();
}

void ViewerFixture::WriteTexture(const std::string& name, unsigned width, unsigned height,
                                 std::function<testpng::Sample(unsigned, unsigned)> pixel,
                                 const std::string& dir) {
    testpng::Picture pic;
    pic.width = width;
    pic.height = height;
    pic.color = testpng::Color::Rgb;
    if (pixel)
        pic.pixel = std::move(pixel);
    else
        pic.pixel = [](unsigned, unsigned) { return testpng::Sample::Rgb(128, 128, 128); };
    const std::string folder = dir.empty() ? textures_ : dir;
    ASSERT_TRUE(testpng::WritePng(folder + "/" + name, pic)) << name;
}

void ViewerFixture::RemoveTexture(const std::string& name) {
    ASSERT_TRUE(std::filesystem::remove(textures_ + "/" + name)) << name;
}

std::string ViewerFixture::TexturePath(const std::string& name) const {
    return textures_ + "/" + name;
}

void ViewerFixture::EnterViewer(std::uint16_t width, std::uint16_t height) {
    app_->ResizeViewport(width, height);
    viewer().SetDirectory(textures_.c_str(), false);
    viewer().Enter();
    viewer().Update();
}

void ViewerFixture::UseFakeClock() {
    static const TimeSource fake{&FakeClock::Frequency, &FakeClock::Counter,
                                 &FakeClock::Milliseconds};
    viewer().inputTimer = std::make_unique<FrameTimer>(10, fake);
    viewer().inputTimer->Calibrate();
    viewer().inputTimer->Restart();
}

void ViewerFixture::AdvanceMs(double ms) {
    FakeClock::now += static_cast<std::int64_t>(std::llround(ms * 1e6));
}

void ViewerFixture::ProjectionMatrix(double out[16]) {
    glGetDoublev(GL_PROJECTION_MATRIX, out);
}

void ViewerFixture::FrustumMatrix(double l, double r, double b, double t, double n, double f,
                                  double out[16]) {
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(l, r, b, t, n, f);
    glGetDoublev(GL_PROJECTION_MATRIX, out);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(mode));
}

void ViewerFixture::ExpectProjectionIsFrustum(double l, double r, double b, double t, double n,
                                              double f) {
    double expected[16], actual[16];
    FrustumMatrix(l, r, b, t, n, f, expected);
    ProjectionMatrix(actual);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-6 * (1.0 + std::fabs(expected[i])))
            << "element " << i;
}
