// PNG to RGBA8 through libpng.
//
// libpng reports errors by longjmp. Each function below that calls setjmp
// is plain C-style code: no object with a destructor lives in its frame,
// and nothing it changes after setjmp is read after the jump. The pixel
// buffer is owned by the C++ caller, which libpng's jumps never cross.
#include "glpng/png_decode.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace glpng {
namespace {

// Larger ancillary chunks (text, ICC profiles) are refused; they are of no
// use here and would only cost memory.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(1) << 20;
constexpr png_uint_32 kMaxCachedChunks = 128;

struct Source {
    std::FILE* file;  // read from here when set, else from data
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

struct Session {
    png_structp png;
    png_infop info;
    Source source;
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    int interlace;
};

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Warnings are about recoverable oddities; there is no log to put them in.
void OnPngWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep dest, png_size_t length) {
    Source* src = static_cast<Source*>(png_get_io_ptr(png));
    if (src->file) {
        if (std::fread(dest, 1, length, src->file) != length) png_error(png, "read failed");
        return;
    }
    if (length > src->size - src->pos) png_error(png, "truncated");
    std::memcpy(dest, src->data + src->pos, length);
    src->pos += length;
}

bool SizeAllowed(png_uint_32 width, png_uint_32 height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           std::uint64_t(width) * height <= kMaxPixels;
}

// Reads up to the first image data, checks the size and sets the
// transforms that turn every format into 8-bit RGBA.
int ReadHeader(Session* s) {
    if (setjmp(png_jmpbuf(s->png))) return 0;

    png_read_info(s->png, s->info);
    png_get_IHDR(s->png, s->info, &s->width, &s->height, &s->bitDepth, &s->colorType,
                 &s->interlace, nullptr, nullptr);
    if (!SizeAllowed(s->width, s->height)) return 0;

    const bool grey = (s->colorType & PNG_COLOR_MASK_COLOR) == 0;
    const bool hasTrns = png_get_valid(s->png, s->info, PNG_INFO_tRNS) != 0;
    if (s->colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s->png);
    if (grey && s->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(s->png);
    if (hasTrns) png_set_tRNS_to_alpha(s->png);
    if (s->bitDepth == 16) png_set_strip_16(s->png);
    if (grey) png_set_gray_to_rgb(s->png);
    if ((s->colorType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrns)
        png_set_add_alpha(s->png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);

    if (png_get_bit_depth(s->png, s->info) != 8 || png_get_channels(s->png, s->info) != 4 ||
        png_get_rowbytes(s->png, s->info) != png_size_t(s->width) * 4)
        return 0;
    return 1;
}

int ReadPixels(Session* s, png_bytepp rows) {
    if (setjmp(png_jmpbuf(s->png))) return 0;
    // Interlaced images are assembled by libpng in place, pass by pass.
    png_read_image(s->png, rows);
    return 1;
}

class PngReader {
public:
    PngReader() {
        session_ = Session();
        session_.png =
            png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (session_.png) session_.info = png_create_info_struct(session_.png);
    }
    ~PngReader() {
        if (session_.png) png_destroy_read_struct(&session_.png, &session_.info, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool Decode(const Source& source, Image* out, PngHeader* header) {
        if (!session_.png || !session_.info) return false;
        session_.source = source;
        png_set_read_fn(session_.png, &session_.source, ReadBytes);
        png_set_user_limits(session_.png, kMaxSide, kMaxSide);
        png_set_chunk_malloc_max(session_.png, kMaxChunkBytes);
        png_set_chunk_cache_max(session_.png, kMaxCachedChunks);
        if (!ReadHeader(&session_)) return false;

        Image image;
        image.width = session_.width;
        image.height = session_.height;
        image.rgba.resize(std::size_t(image.width) * image.height * 4);
        std::vector<png_bytep> rows(image.height);
        for (unsigned y = 0; y < image.height; ++y) rows[y] = image.At(0, y);
        if (!ReadPixels(&session_, rows.data())) return false;

        if (header) {
            header->width = session_.width;
            header->height = session_.height;
            header->bitDepth = unsigned(session_.bitDepth);
            header->colorType = session_.colorType;
            header->interlaced = session_.interlace != PNG_INTERLACE_NONE;
        }
        *out = std::move(image);
        return true;
    }

private:
    Session session_;
};

void Clear(Image* out, PngHeader* header) {
    *out = Image();
    if (header) *header = PngHeader();
}

bool Decode(const Source& source, Image* out, PngHeader* header) {
    Clear(out, header);
    PngReader reader;
    return reader.Decode(source, out, header);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool DecodePngFile(const char* path, Image* out, PngHeader* header) {
    std::unique_ptr<std::FILE, FileCloser> file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        Clear(out, header);
        return false;
    }
    return Decode(Source{file.get(), nullptr, 0, 0}, out, header);
}

bool DecodePngMemory(const void* data, std::size_t size, Image* out, PngHeader* header) {
    const Source source = {nullptr, static_cast<const unsigned char*>(data), data ? size : 0, 0};
    return Decode(source, out, header);
}

}  // namespace glpng
