// PNG to RGBA8 through libpng: the loader's PngRowReader, and the
// whole-image decode of png_reference.h on the same session code.
//
// libpng reports errors by longjmp. Each function below that calls setjmp
// is plain C-style code: no object with a destructor lives in its frame,
// and nothing it changes after setjmp is read after the jump. The pixel
// buffer is owned by the C++ caller, which libpng's jumps never cross.
#include "glpng/decode/png_decode.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "glpng/colour_key.h"
#include "glpng/decode/fast_rows.h"
#include "glpng/decode/png_reference.h"
#include "glpng/hole_fill.h"
#include "platform/files.h"

#ifdef __linux__
#include <sys/mman.h>
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
    // The last chunk header libpng read (length and type): after the
    // header it is the first IDAT's, where the fast path takes over.
    unsigned char chunkHeader[8];
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

bool ReadSource(Source* src, std::uint8_t* dest, std::size_t length) {
    if (src->file) return std::fread(dest, 1, length, src->file) == length;
    if (length > src->size - src->pos) return false;
    std::memcpy(dest, src->data + src->pos, length);
    src->pos += length;
    return true;
}

void ReadBytes(png_structp png, png_bytep dest, png_size_t length) {
    Source* src = static_cast<Source*>(png_get_io_ptr(png));
    if (!ReadSource(src, dest, length)) png_error(png, "read failed");
    // libpng reads each chunk header in one piece.
    if (length == 8) std::memcpy(src->chunkHeader, dest, 8);
}

// The rest of a file for the fast path, after libpng's reads.
class SourceBytes final : public ByteSource {
public:
    explicit SourceBytes(Source* source) : source_(source) {}
    bool Read(std::uint8_t* dest, std::size_t count) override {
        return ReadSource(source_, dest, count);
    }

private:
    Source* source_;
};

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

// Non-interlaced rows are keyed as they arrive, while each is still in
// cache. `rowKeyed` gets each row's count of keyed texels.
int ReadRowsKeyed(Session* s, png_bytep dest, png_uint_32 count, const std::uint8_t* key,
                  std::uint32_t* rowKeyed) {
    if (setjmp(png_jmpbuf(s->png))) return 0;
    const std::size_t stride = std::size_t(s->width) * 4;
    for (png_uint_32 i = 0; i < count; ++i) {
        png_bytep row = dest + i * stride;
        png_read_row(s->png, row, nullptr);
        rowKeyed[i] = KeyRow(row, s->width, key[0], key[1], key[2]);
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

    Session* session() { return &session_; }
    Source* source() { return &session_.source; }

    // The palette as R, G, B triples; how many.
    unsigned Palette(std::uint8_t* rgb) {
        png_colorp colours = nullptr;
        int count = 0;
        if (!png_get_PLTE(session_.png, session_.info, &colours, &count) || count <= 0) return 0;
        count = count > 256 ? 256 : count;
        for (int i = 0; i < count; ++i) {
            rgb[3 * i] = colours[i].red;
            rgb[3 * i + 1] = colours[i].green;
            rgb[3 * i + 2] = colours[i].blue;
        }
        return unsigned(count);
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

// Reference decode: the reader's limits and transforms, without the key.
bool DecodePngFile(const char* path, Image* out, PngHeader* header) {
    std::unique_ptr<std::FILE, FileCloser> file(path ? files::OpenRegular(path) : nullptr);
    if (!file) {
        Clear(out, header);
        return false;
    }
    return Decode(Source{file.get(), nullptr, 0, 0, {}}, out, header);
}

bool DecodePngMemory(const void* data, std::size_t size, Image* out, PngHeader* header) {
    const Source source = {nullptr, static_cast<const unsigned char*>(data), data ? size : 0, 0,
                           {}};
    return Decode(source, out, header);
}

// Left uninitialised: the loader writes every byte. Large blocks ask for
// transparent huge pages: a 64 MiB image then costs a few dozen page
// faults instead of 16384.
PixelBuffer AllocatePixels(std::size_t bytes) {
#ifdef __linux__
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes >= 2 * kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = nullptr;
        if (posix_memalign(&p, kHugePage, rounded) != 0) return PixelBuffer(nullptr, std::free);
        madvise(p, rounded, MADV_HUGEPAGE);  // only a hint; fine if refused
        return PixelBuffer(static_cast<std::uint8_t*>(p), std::free);
    }
#endif
    return PixelBuffer(static_cast<std::uint8_t*>(std::malloc(bytes)), std::free);
}

struct PngRowReader::State {
    std::unique_ptr<std::FILE, FileCloser> file;
    Source source{};
    std::unique_ptr<PngReader> reader = std::make_unique<PngReader>();
    std::unique_ptr<FastRows> fast;  // while the fast path reads
    std::unique_ptr<SourceBytes> bytes;
    PngHeader header;
    unsigned rowsRead = 0;
    bool failed = false;

    // The fast path reads on from where libpng's header read stopped.
    void StartFast() {
        if (!FastRows::Takes(header)) return;
        Source* read = reader->source();
        std::uint8_t palette[256 * 3];
        const unsigned colours = reader->Palette(palette);
        bytes = std::make_unique<SourceBytes>(read);
        fast = std::make_unique<FastRows>();
        if (!fast->Start(bytes.get(), header, palette, colours, read->chunkHeader) && !Restart())
            failed = true;
    }

    // A doubt on the fast path: libpng reads the file again from the
    // start, passes over the rows already given, and decides.
    bool Restart() {
        fast.reset();
        bytes.reset();
        // A fresh copy of the untouched source starts at the beginning.
        if (source.file) {
            if (std::fseek(source.file, 0, SEEK_SET) != 0) return false;
            std::clearerr(source.file);
        }
        reader = std::make_unique<PngReader>();
        PngHeader again;
        if (!reader->Open(source)) return false;
        reader->Describe(&again);
        if (again.width != header.width || again.height != header.height) return false;
        if (rowsRead == 0) return true;
        std::vector<std::uint8_t> scratch(std::size_t(header.width) * 4);
        const std::uint8_t key[3] = {0, 0, 0};
        std::uint32_t keyed;
        for (unsigned row = 0; row < rowsRead; ++row)
            if (!ReadRowsKeyed(reader->session(), scratch.data(), 1, key, &keyed)) return false;
        return true;
    }
};

PngRowReader::PngRowReader() = default;
PngRowReader::~PngRowReader() = default;

bool PngRowReader::Open(const char* path, DecodePath decodePath) {
    state_ = std::make_unique<State>();
    state_->file.reset(path ? files::OpenRegular(path) : nullptr);
    if (!state_->file) {
        state_.reset();
        return false;
    }
    state_->source = Source{state_->file.get(), nullptr, 0, 0, {}};
    return Begin(decodePath);
}

bool PngRowReader::OpenMemory(const void* data, std::size_t size, DecodePath decodePath) {
    state_ = std::make_unique<State>();
    state_->source = Source{nullptr, static_cast<const unsigned char*>(data), data ? size : 0, 0, {}};
    return Begin(decodePath);
}

bool PngRowReader::Begin(DecodePath decodePath) {
    if (!state_->reader->Open(state_->source)) {
        state_.reset();
        return false;
    }
    state_->reader->Describe(&state_->header);
    if (decodePath == DecodePath::Fast) state_->StartFast();
    return true;
}

bool PngRowReader::OnFastPath() const { return state_ && state_->fast; }

const PngHeader& PngRowReader::header() const {
    static const PngHeader kNone;
    return state_ ? state_->header : kNone;
}

bool PngRowReader::ReadKeyedRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                                 std::uint32_t* rowKeyed) {
    if (!state_ || state_->failed || state_->header.interlaced ||
        count > state_->header.height - state_->rowsRead)
        return false;
    if (state_->fast) {
        if (state_->fast->ReadRows(dest, count, key, rowKeyed)) {
            state_->rowsRead += count;
            return true;
        }
        if (!state_->Restart()) {
            state_->failed = true;
            return false;
        }
    }
    if (!ReadRowsKeyed(state_->reader->session(), dest, count, key, rowKeyed)) {
        state_->failed = true;
        return false;
    }
    state_->rowsRead += count;
    return true;
}

bool PngRowReader::ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels) {
    pixels->reset();
    if (!state_ || state_->failed || state_->rowsRead != 0) return false;
    const unsigned width = state_->header.width, height = state_->header.height;
    const std::size_t stride = std::size_t(width) * 4;
    PixelBuffer memory = AllocatePixels(stride * height);
    if (!memory) return false;
    std::vector<std::uint32_t> rowKeyed(height, 0);
    if (state_->header.interlaced) {
        // libpng assembles the passes in place; keying waits for the last.
        std::vector<png_bytep> rows(height);
        for (unsigned y = 0; y < height; ++y) rows[y] = memory.get() + y * stride;
        if (!ReadPixels(state_->reader->session(), rows.data())) {
            state_->failed = true;
            return false;
        }
        for (unsigned y = 0; y < height; ++y)
            rowKeyed[y] = KeyRow(rows[y], width, key[0], key[1], key[2]);
        state_->rowsRead = height;
    } else if (!ReadKeyedRows(memory.get(), height, key, rowKeyed.data())) {
        return false;
    }
    FillHoles(memory.get(), width, height, rowKeyed.data());
    *pixels = std::move(memory);
    return true;
}

}  // namespace glpng
