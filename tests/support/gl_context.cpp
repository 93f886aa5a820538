#include "support/gl_context.h"

#include <GL/osmesa.h>

SoftwareGL::SoftwareGL(int width, int height)
    : width_(width), height_(height), buffer_(std::size_t(width) * height * 4) {
    OSMesaContext ctx = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (!ctx) return;
    context_ = ctx;
    ok_ = OSMesaMakeCurrent(ctx, buffer_.data(), GL_UNSIGNED_BYTE, width, height) == GL_TRUE;
}

SoftwareGL::~SoftwareGL() {
    if (context_) OSMesaDestroyContext(static_cast<OSMesaContext>(context_));
}

std::uint32_t SoftwareGL::PixelTopLeft(int x, int y) const {
    glFinish();
    // OSMesa's buffer starts at the bottom row.
    const std::uint8_t* p = &buffer_[(std::size_t(height_ - 1 - y) * width_ + x) * 4];
    return Rgba(p[0], p[1], p[2], p[3]);
}

void GLTest::SetUp() {
    gl_ = std::make_unique<SoftwareGL>(ContextWidth(), ContextHeight());
    ASSERT_TRUE(gl_->ok()) << "no OSMesa context";
}

void GLTest::TearDown() { gl_.reset(); }
