// The fixed-function OpenGL 1.1 header, the one way the core and the PNG
// loader reach GL.
#pragma once

#if defined(_WIN32) && !defined(APIENTRY)
// The Windows GL header expects these from windows.h, which the core
// does not include.
#define APIENTRY __stdcall
#define WINGDIAPI __declspec(dllimport)
#define ZINTRA_DEFINED_GL_MACROS 1
#endif

#include <GL/gl.h>

#ifdef ZINTRA_DEFINED_GL_MACROS
#undef APIENTRY
#undef WINGDIAPI
#undef ZINTRA_DEFINED_GL_MACROS
#endif
