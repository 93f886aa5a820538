// JPEG through libjpeg-turbo, a few scanlines at a time straight into the
// loader's rows. The library reports faults by longjmp, so every call
// into it sits in a small function with nothing to destroy; warnings
// (a cut-off file, corrupt data) count as faults, since the library
// would otherwise fill the rest with grey and call it a picture.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "glpng/decode/format_decoder.h"
#include "glpng/decode/row_pipe.h"

namespace glpng {
namespace {

// Progressive files can ask for many scans over a large image; a real
// file has a dozen or so.
constexpr long kMaxScans = 1000;
// The library's own working memory beyond the pixels the loader
// allocates: enough for a progressive file's coefficients at the largest
// size the loader takes (6 bytes a pixel at 4:4:4), and no more.
constexpr long kMaxLibraryMemory = 400L << 20;
// From this size on the library decodes on a worker thread, beside the
// loader's work on the rows before.
constexpr std::uint64_t kPipedPixels = std::uint64_t(1) << 20;

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0) OnError(info);  // a warning: the data is damaged
}

void OnProgress(j_common_ptr info) {
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->is_decompressor && d->input_scan_number > kMaxScans) OnError(info);
}

class JpegDecoder : public FormatDecoder {
public:
    JpegDecoder() {
        std::memset(&info_, 0, sizeof info_);
        info_.err = jpeg_std_error(&trap_.manager);
        trap_.manager.error_exit = OnError;
        trap_.manager.emit_message = OnMessage;
        progress_.progress_monitor = OnProgress;
    }
    ~JpegDecoder() override {
        pipe_.reset();  // the worker is done with the library before it goes
        if (created_) jpeg_destroy_decompress(&info_);
    }

    bool Open(std::FILE* file, PngHeader* header) override {
        if (!Start(file)) return false;
        if (!WithinLimits(info_.output_width, info_.output_height)) return false;
        header->width = info_.output_width;
        header->height = info_.output_height;
        header->bitDepth = unsigned(info_.data_precision);
        header->colorType = info_.jpeg_color_space == JCS_GRAYSCALE ? 0 : 2;
        header->interlaced = false;
        return true;
    }

    bool Streams() const override { return true; }

    bool ReadRows(std::uint8_t* dest, unsigned count) override {
        if (failed_ || !started_) return false;
        if (!pipe_ && std::uint64_t(info_.output_width) * info_.output_height >= kPipedPixels)
            pipe_ = std::make_unique<RowPipe>(
                info_.output_width, info_.output_height,
                [this](std::uint8_t* rows, unsigned n) { return DecodeRows(rows, n); });
        if (pipe_) {
            failed_ = !pipe_->Take(dest, count);
            return !failed_;
        }
        failed_ = !DecodeRows(dest, count);
        return !failed_;
    }

    bool ReadImage(std::uint8_t* rgba) override {
        return info_.output_scanline == 0 && !pipe_ && DecodeRows(rgba, info_.output_height);
    }

private:
    bool DecodeRows(std::uint8_t* dest, unsigned count) {
        const std::size_t stride = std::size_t(info_.output_width) * 4;
        unsigned done = 0;
        while (done < count) {
            JSAMPROW rows[8];
            const unsigned batch = count - done < 8 ? count - done : 8;
            for (unsigned i = 0; i < batch; ++i) rows[i] = dest + (done + i) * stride;
            const unsigned got = Scanlines(rows, batch);
            if (got == 0) return false;
            done += got;
        }
        return true;
    }

    bool Start(std::FILE* file) {
        if (setjmp(trap_.jump)) return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        info_.mem->max_memory_to_use = kMaxLibraryMemory;
        info_.progress = &progress_;
        jpeg_stdio_src(&info_, file);
        if (jpeg_read_header(&info_, TRUE) != JPEG_HEADER_OK) return false;
        // Grey and YCbCr become RGBA here; CMYK has no such path.
        if (info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK)
            return false;
        info_.out_color_space = JCS_EXT_RGBA;
        // Checked before the library allocates anything for the image.
        if (!WithinLimits(info_.image_width, info_.image_height)) return false;
        jpeg_calc_output_dimensions(&info_);
        jpeg_start_decompress(&info_);
        started_ = true;
        return true;
    }

    unsigned Scanlines(JSAMPROW* rows, unsigned count) {
        if (setjmp(trap_.jump)) return 0;
        return jpeg_read_scanlines(&info_, rows, count);
    }

    jpeg_decompress_struct info_;
    ErrorTrap trap_;
    jpeg_progress_mgr progress_{};
    bool created_ = false;
    bool started_ = false;
    bool failed_ = false;
    std::unique_ptr<RowPipe> pipe_;
};

}  // namespace

std::unique_ptr<FormatDecoder> NewJpegDecoder() { return std::make_unique<JpegDecoder>(); }

}  // namespace glpng
