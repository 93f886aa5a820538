// minizip over a FILE the loader opened, so that paths go through the
// platform's own opening (wide names on Windows) and the archive is read
// in place, never copied whole.
#include "glpng/decode/zip_entry.h"

#include <algorithm>

#include <unzip.h>

#include "platform/files.h"

namespace glpng {
namespace {

std::FILE* FileOf(voidpf stream) { return static_cast<std::FILE*>(stream); }

voidpf ZCALLBACK OpenGiven(voidpf opaque, const void*, int) { return opaque; }
uLong ZCALLBACK ReadGiven(voidpf, voidpf stream, void* buf, uLong size) {
    return uLong(std::fread(buf, 1, size, FileOf(stream)));
}
uLong ZCALLBACK WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK TellGiven(voidpf, voidpf stream) {
    const std::int64_t at = files::Tell(FileOf(stream));
    return at < 0 ? ZPOS64_T(-1) : ZPOS64_T(at);
}
long ZCALLBACK SeekGiven(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                       : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                          : SEEK_CUR;
    return files::Seek(FileOf(stream), std::int64_t(offset), whence) ? 0 : -1;
}
// The caller closes the file.
int ZCALLBACK CloseNothing(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorOf(voidpf, voidpf stream) { return std::ferror(FileOf(stream)); }

class Archive {
public:
    explicit Archive(std::FILE* file) {
        zlib_filefunc64_def calls{OpenGiven, ReadGiven, WriteNothing, TellGiven,
                                  SeekGiven, CloseNothing, ErrorOf, file};
        zip_ = unzOpen2_64("", &calls);
    }
    ~Archive() {
        if (zip_) unzClose(zip_);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    unzFile get() const { return zip_; }

private:
    unzFile zip_ = nullptr;
};

}  // namespace

bool ReadZipMember(std::FILE* file, const char* name, std::uint64_t maxBytes,
                   StartCheck acceptStart, PixelBuffer* bytes, std::size_t* size) {
    bytes->reset();
    *size = 0;
    Archive archive(file);
    unzFile zip = archive.get();
    if (!zip || unzLocateFile(zip, name, 1) != UNZ_OK) return false;
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // The declared size bounds the memory; minizip never inflates past it.
    if (info.uncompressed_size > maxBytes || info.uncompressed_size == 0) return false;
    const std::size_t total = std::size_t(info.uncompressed_size);
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    // The start is judged before the rest is given any memory.
    std::uint8_t start[kStartBytes];
    const std::size_t head = std::min(total, kStartBytes);
    bool ok = unzReadCurrentFile(zip, start, unsigned(head)) == int(head) &&
              (!acceptStart || acceptStart(start, head));
    PixelBuffer data = ok ? AllocatePixels(total) : PixelBuffer(nullptr, std::free);
    ok = ok && data;
    if (ok) std::copy(start, start + head, data.get());
    std::size_t got = head;
    while (ok && got < total) {
        const unsigned chunk = unsigned(std::min(total - got, std::size_t(1) << 24));
        const int n = unzReadCurrentFile(zip, data.get() + got, chunk);
        ok = n > 0;
        if (ok) got += std::size_t(n);
    }
    // Closing checks the CRC once the whole member was read.
    const int closed = unzCloseCurrentFile(zip);
    if (!ok || closed != UNZ_OK) return false;
    *bytes = std::move(data);
    *size = total;
    return true;
}

}  // namespace glpng
