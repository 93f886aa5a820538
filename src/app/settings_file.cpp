// The settings file: eight text lines, read once at start and written at
// quit. Only the C library: the fuzzer links this unit alone.
#include "app/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include "platform/win32/win32_paths.h"
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A text stream that fails for good at the first value it cannot read,
// with the conventions of the standard streams' getline and >>.
class SettingsReader {
public:
    explicit SettingsReader(std::FILE* file) : file_(file) {}

    bool ok() const { return !failed_; }

    // At most 511 characters up to the line feed, which is consumed. A
    // longer line keeps its first 511 characters and fails the stream.
    bool Line(std::string* out) {
        out->clear();
        if (failed_) return false;
        int c = 0;
        while (out->size() < kMaxSettingsLine) {
            c = std::fgetc(file_);
            if (c == EOF || c == '\n') break;
            out->push_back(static_cast<char>(c));
        }
        if (out->size() == kMaxSettingsLine) {
            c = std::fgetc(file_);
            if (c != '\n' && c != EOF) failed_ = true;
        }
        if (c == EOF) {
            eof_ = true;
            if (out->empty()) failed_ = true;
        }
        return true;
    }

    bool Integer(long long min, long long max, long long* out) {
        if (failed_ || eof_) return Fail();
        int c;
        do c = std::fgetc(file_);
        while (c != EOF && std::isspace(c));
        std::string text;
        if (c == '+' || c == '-') {
            text.push_back(static_cast<char>(c));
            c = std::fgetc(file_);
        }
        // The whole run of digits belongs to this value, however long, so
        // none spills into the next one; leading zeros do not count.
        bool digits = false, tooLong = false;
        while (c != EOF && c >= '0' && c <= '9') {
            const bool leadingZero = c == '0' && (text.empty() || text == "+" || text == "-");
            if (leadingZero) {
            } else if (text.size() < 64) {
                text.push_back(static_cast<char>(c));
            } else {
                tooLong = true;
            }
            digits = true;
            c = std::fgetc(file_);
        }
        if (c != EOF) std::ungetc(c, file_);
        else eof_ = true;
        if (!digits || tooLong) return Fail();
        if (text.empty() || text == "+" || text == "-") text.push_back('0');
        errno = 0;
        const long long value = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || value < min || value > max) return Fail();
        *out = value;
        return true;
    }

    bool Boolean(bool* out) {
        long long value = 0;
        if (!Integer(0, 1, &value)) return false;
        *out = value == 1;
        return true;
    }

private:
    bool Fail() {
        failed_ = true;
        return false;
    }

    std::FILE* file_;
    bool failed_ = false;
    bool eof_ = false;
};

// Files written on Windows end their lines in CR LF. Both values are used
// as C strings, so a NUL ends them here already: otherwise "\0..." would
// name the folder "" (the file system's root).
void CleanLine(std::string* line) {
    line->resize(std::min(line->find('\0'), line->size()));
    if (!line->empty() && line->back() == '\r') line->pop_back();
#ifdef _WIN32
    // Earlier copies wrote paths in the ANSI code page; UTF-8 now.
    *line = win32::LineAsUtf8(*line);
#endif
}

bool IsUnset(const std::string& line) { return line.empty() || line == "NULL"; }

}  // namespace


void ParseSettings(std::FILE* file, Settings* settings) {
    SettingsReader in(file);
    std::string line;
    if (in.Line(&line)) {
        CleanLine(&line);
        if (!IsUnset(line)) settings->editorPath = line;
    }
    if (in.ok() && in.Line(&line)) {
        CleanLine(&line);
        if (!IsUnset(line)) settings->textureDir = line;
    }
    bool flag = false;
    if (in.Boolean(&flag)) settings->showHud = flag;
    if (in.Boolean(&flag)) settings->autoRefresh = flag;
    std::int32_t* edges[4] = {&settings->windowRect.left, &settings->windowRect.top,
                              &settings->windowRect.right, &settings->windowRect.bottom};
    for (std::int32_t* edge : edges) {
        long long value = 0;
        if (!in.Integer(INT32_MIN, INT32_MAX, &value)) break;
        *edge = static_cast<std::int32_t>(value);
    }
}

namespace {

#ifdef _WIN32
// Wide calls throughout: a narrow path would take the ANSI code page.
std::FILE* OpenRegular(const std::string& path) { return win32::OpenForReading(path, true); }
std::string SaveTarget(const std::string& path) { return path; }
bool Replaceable(const std::string&, unsigned*) { return true; }
void KeepMode(std::FILE*, unsigned) {}
std::string TempPath(const std::string& target) { return target + ".tmp"; }
#else
// Only a regular file, opened without waiting: a FIFO or a device named
// like the settings file must not hang the start.
std::FILE* OpenRegular(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "r");
    if (!file) close(fd);
    return file;
}

// A symbolic link is written through, so it stays a link to the new file.
std::string SaveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(target.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return target;
        link.resize(static_cast<std::size_t>(n));
        if (link[0] != '/') {
            const std::size_t cut = target.rfind('/');
            link = (cut == std::string::npos ? std::string() : target.substr(0, cut + 1)) + link;
        }
        target = link;
    }
    return target;
}

// Only a regular file (or none) is replaced; its permission bits are kept.
bool Replaceable(const std::string& target, unsigned* mode) {
    struct stat info;
    if (stat(target.c_str(), &info) != 0) return errno == ENOENT;
    *mode = static_cast<unsigned>(info.st_mode & 07777);
    return S_ISREG(info.st_mode);
}

void KeepMode(std::FILE* file, unsigned mode) {
    if (mode != 0) fchmod(fileno(file), static_cast<mode_t>(mode));
}

std::string TempPath(const std::string& target) {
    return target + "." + std::to_string(getpid()) + ".tmp";
}
#endif

}  // namespace

std::FILE* OpenRegularFile(const std::string& path) { return OpenRegular(path); }

bool ReadSettingsFile(const std::string& path, Settings* settings) {
    std::FILE* file = OpenRegularFile(path);
    if (!file) return false;
    ParseSettings(file, settings);
    std::fclose(file);
    return true;
}

bool StorableInSettings(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string FormatSettings(const Settings& settings) {
    const platform::Rect& r = settings.windowRect;
    std::string text;
    for (const std::optional<std::string>* path : {&settings.editorPath, &settings.textureDir}) {
        text += *path && StorableInSettings(**path) ? **path : "NULL";
        text += '\n';
    }
    text += settings.showHud ? "1\n" : "0\n";
    text += settings.autoRefresh ? "1\n" : "0\n";
    for (std::int32_t edge : {r.left, r.top, r.right, r.bottom}) {
        text += std::to_string(edge);
        text += '\n';
    }
    return text;
}

bool WriteSettingsFile(const std::string& path, const Settings& settings) {
    return ReplaceFile(path, FormatSettings(settings));
}

bool ReplaceFile(const std::string& path, const std::string& text) {
    // Written beside the file and renamed over it, so a failed or cut-off
    // write never leaves a truncated file.
    const std::string target = SaveTarget(path);
    unsigned mode = 0;
    if (!Replaceable(target, &mode)) return false;
    const std::string temp = TempPath(target);
    // Text mode: CR LF line ends on Windows.
#ifdef _WIN32
    std::FILE* file = win32::OpenForWriting(temp);
#else
    std::FILE* file = std::fopen(temp.c_str(), "w");
#endif
    if (!file) return false;
    KeepMode(file, mode);
    bool good = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                std::fflush(file) == 0;
#ifndef _WIN32
    good = good && fsync(fileno(file)) == 0;
#endif
    good = std::fclose(file) == 0 && good;
#ifdef _WIN32
    if (!good || !win32::MoveReplacing(temp, target)) {
        win32::RemoveFile(temp);
        return false;
    }
#else
    std::error_code error;
    if (good) std::filesystem::rename(temp, target, error);
    if (!good || error) {
        std::remove(temp.c_str());
        return false;
    }
#endif
    return true;
}
