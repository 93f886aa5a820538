// PNG files straight into OpenGL textures, with a colour key.
// Every image becomes RGBA8: under PNG_STENCIL the file's own alpha is
// dropped and pixels of the stencil colour get alpha 0, all others 255.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define PNG_NOMIPMAPS 0
#define PNG_NOMIPMAP 0
#define PNG_BUILDMIPMAPS (-1)

#define PNG_STENCIL 0

typedef struct {
    unsigned int Width;   // from the file's header, before any scaling
    unsigned int Height;
    unsigned int Depth;   // bit depth per channel in the file
    unsigned int Alpha;   // bits of alpha in the texture (8)
} pngInfo;

void pngSetStencil(unsigned char red, unsigned char green, unsigned char blue);

// Decodes `filename` and uploads it to a new texture bound to
// GL_TEXTURE_2D. Returns the texture name, or 0 on any failure (then
// `info` reports 0 x 0 and nothing is left allocated).
unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst,
                     int minfilter, int magfilter);

#ifdef __cplusplus
}
#endif
