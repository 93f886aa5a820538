// Shared setting for the viewer's tests: a software GL context, a headless
// TesterApp whose executable directory is a temp folder with HUD images,
// a texture folder, and a hand-driven clock for the key pacing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/tester_app.h"
#include "support/gl_context.h"
#include "support/png_writer.h"


class ViewerFixture : public GLTest {
protected:
    void SetUp() override;
    void TearDown() override;

    TesterApp& app() { return *app_; }
    ViewerScene& viewer() { return *app_->viewer; }
    const std::string& root() const { return root_; }
    const std::string& textures() const { return textures_; }

    // Writes `name` into the texture folder (or `dir`); by default an
    // opaque grey picture of that size.
    void WriteTexture(const std::string& name, unsigned width, unsigned height,
                      std::function<testpng::Sample(unsigned, unsigned)> pixel = nullptr,
                      const std::string& dir = "");
    void RemoveTexture(const std::string& name);
    std::string TexturePath(const std::string& name) const;

    // Sizes the client area, points the viewer at the texture folder,
    // enters it and runs the first Update, as the host's scene switch does.
    void EnterViewer(std::uint16_t width, std::uint16_t height);

    // Replaces the viewer's timer by one on the fake clock, restarted now.
    void UseFakeClock();
    static void AdvanceMs(double ms);

    void Press(int key) { app_->keyDown[key] = true; }
    void Release(int key) { app_->keyDown[key] = false; }

    // The projection matrix GL holds now, and the one a fresh frustum gives.
    static void ProjectionMatrix(double out[16]);
    static void FrustumMatrix(double l, double r, double b, double t, double n, double f,
                              double out[16]);
    void ExpectProjectionIsFrustum(double l, double r, double b, double t, double n, double f);

private:
    std::unique_ptr<TesterApp> app_;
    std::string root_;
    std::string textures_;
};
