// PNG to RGBA8 through libpng.
//
// libpng reports errors by longjmp. Each function below that calls setjmp
// is plain C-style code: no object with a destructor lives in its frame,
// and nothing it changes after setjmp is read after the jump. The pixel
// buffer is owned by the C++ caller, which libpng's jumps never cross.
#include "glpng/png_decode.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#ifdef __linux__
#include <sys/mman.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace glpng {

namespace {

// Limits on what libpng keeps in memory besides the pixels.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(1) << 20;
constexpr png_uint_32 kMaxCachedChunks = 128;

// Five bytes each: the name and a NUL.
constexpr png_byte kSkippedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0"
    "sRGB\0tEXt\0tIME\0zTXt";

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

using PixelMemory = std::unique_ptr<std::uint8_t, void (*)(void*)>;

// Pixel memory is left uninitialised (libpng writes every byte). Large
// blocks ask for transparent huge pages: a 64 MiB image then costs a few
// dozen page faults instead of 16384.
PixelMemory AllocatePixels(std::size_t bytes) {
#ifdef __linux__
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes >= 2 * kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = nullptr;
        if (posix_memalign(&p, kHugePage, rounded) != 0) return PixelMemory(nullptr, std::free);
        madvise(p, rounded, MADV_HUGEPAGE);  // only a hint; fine if refused
        return PixelMemory(static_cast<std::uint8_t*>(p), std::free);
    }
#endif
    return PixelMemory(static_cast<std::uint8_t*>(std::malloc(bytes)), std::free);
}


struct KeyState {
    std::uint8_t red, green, blue;
    std::uint32_t keyed;
    std::uint8_t* rowHasKey;  // one flag per row
};

// Non-interlaced images are keyed row by row as they arrive, while each
// row is still in cache; interlaced ones only once all passes are in.
int ReadPixelsKeyed(Session* s, png_bytepp rows, KeyState* key) {
    if (setjmp(png_jmpbuf(s->png))) return 0;
    if (s->interlace != PNG_INTERLACE_NONE) {
        png_read_image(s->png, rows);
        return 1;
    }
    for (png_uint_32 y = 0; y < s->height; ++y) {
        png_read_row(s->png, rows[y], nullptr);
        const std::uint32_t hits = KeyRow(rows[y], s->width, key->red, key->green, key->blue);
        key->keyed += hits;
        key->rowHasKey[y] = hits != 0;
    }
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
        if (!Open(source)) return false;

        Image image;
        image.width = session_.width;
        image.height = session_.height;
        image.rgba.resize(std::size_t(image.width) * image.height * 4);
        std::vector<png_bytep> rows(image.height);
        for (unsigned y = 0; y < image.height; ++y) rows[y] = image.At(0, y);
        if (!ReadPixels(&session_, rows.data())) return false;

        Describe(header);
        *out = std::move(image);
        return true;
    }

    // The loader's path: uninitialised memory from `allocate`, keyed as read.
    bool DecodeKeyed(const Source& source, KeyState* key, PixelMemory* pixels, unsigned* width,
                     unsigned* height, PngHeader* header) {
        if (!Open(source)) return false;

        const std::size_t stride = std::size_t(session_.width) * 4;
        PixelMemory memory = AllocatePixels(stride * session_.height);
        if (!memory) return false;
        std::vector<png_bytep> rows(session_.height);
        for (unsigned y = 0; y < session_.height; ++y) rows[y] = memory.get() + y * stride;
        std::vector<std::uint8_t> rowHasKey(session_.height, 1);
        key->rowHasKey = rowHasKey.data();
        if (!ReadPixelsKeyed(&session_, rows.data(), key)) return false;
        if (session_.interlace != PNG_INTERLACE_NONE)
            for (unsigned y = 0; y < session_.height; ++y)
                key->keyed += KeyRow(rows[y], session_.width, key->red, key->green, key->blue);
        FillHoles(memory.get(), session_.width, session_.height, key->keyed, rowHasKey.data());

        Describe(header);
        *width = session_.width;
        *height = session_.height;
        *pixels = std::move(memory);
        return true;
    }

private:
    // Reads up to the image data with every limit set.
    bool Open(const Source& source) {
        if (!session_.png || !session_.info) return false;
        session_.source = source;
        png_set_read_fn(session_.png, &session_.source, ReadBytes);
        png_set_user_limits(session_.png, kMaxSide, kMaxSide);
        png_set_chunk_malloc_max(session_.png, kMaxChunkBytes);
        png_set_chunk_cache_max(session_.png, kMaxCachedChunks);
        // libpng only warns about a chunk above the malloc limit and then
        // allocates and clears its claimed length (up to 2 GiB) before
        // reading it. Of the ancillary chunks only tRNS changes the pixels
        // here, so the others are skipped unread.
        png_set_keep_unknown_chunks(session_.png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks,
                                    int(sizeof kSkippedChunks / 5));
        return ReadHeader(&session_) != 0;
    }

    void Describe(PngHeader* header) const {
        if (!header) return;
        header->width = session_.width;
        header->height = session_.height;
        header->bitDepth = unsigned(session_.bitDepth);
        header->colorType = session_.colorType;
        header->interlaced = session_.interlace != PNG_INTERLACE_NONE;
    }

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

// Only regular files are read: opening a FIFO named like a picture would
// wait for a writer for ever, and a device could stream without end.
std::FILE* OpenRegularFile(const char* path) {
#ifdef _WIN32
    return std::fopen(path, "rb");
#else
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    std::FILE* file = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
#endif
}

}  // namespace

bool DecodePngFile(const char* path, Image* out, PngHeader* header) {
    std::unique_ptr<std::FILE, FileCloser> file(path ? OpenRegularFile(path) : nullptr);
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

// The loader's decode: DecodePngFile then ApplyColorKey, with the same
// pixels, into uninitialised memory freed with std::free.
bool DecodeKeyedPngFile(const char* path, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue, std::unique_ptr<std::uint8_t, void (*)(void*)>* pixels,
                        unsigned* width, unsigned* height, PngHeader* header) {
    pixels->reset();
    *width = *height = 0;
    if (header) *header = PngHeader();
    std::unique_ptr<std::FILE, FileCloser> file(path ? OpenRegularFile(path) : nullptr);
    if (!file) return false;
    KeyState key = {red, green, blue, 0, nullptr};
    PngReader reader;
    if (reader.DecodeKeyed(Source{file.get(), nullptr, 0, 0}, &key, pixels, width, height, header))
        return true;
    pixels->reset();
    *width = *height = 0;
    if (header) *header = PngHeader();
    return false;
}

}  // namespace glpng
