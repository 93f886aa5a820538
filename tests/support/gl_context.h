// A real software GL context (OSMesa) for render tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gl.h"

class SoftwareGL {
public:
    SoftwareGL(int width, int height);
    ~SoftwareGL();
    SoftwareGL(const SoftwareGL&) = delete;
    SoftwareGL& operator=(const SoftwareGL&) = delete;

    bool ok() const { return ok_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // RGBA of a pixel, (0, 0) at the top-left as a screenshot shows it.
    std::uint32_t PixelTopLeft(int x, int y) const;
    const std::uint8_t* Pixels() const { return buffer_.data(); }

private:
    void* context_ = nullptr;
    int width_, height_;
    std::vector<std::uint8_t> buffer_;
    bool ok_ = false;
};

// Fixture with a 512 x 512 context current for each test.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    SoftwareGL& gl() { return *gl_; }
    virtual int ContextWidth() const { return 512; }
    virtual int ContextHeight() const { return 512; }

private:
    std::unique_ptr<SoftwareGL> gl_;
};

inline std::uint32_t Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return (std::uint32_t(r) << 24) | (std::uint32_t(g) << 16) | (std::uint32_t(b) << 8) | a;
}
