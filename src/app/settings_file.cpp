// The settings file: eight text lines, read once at start and written at
// quit. The C library and platform/files only: the fuzzer links this alone.
#include "app/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/settings_text.h"

namespace {

// A text stream that fails for good at the first value it cannot read,
// with the conventions of the standard streams' getline and >>.
class SettingsReader {
public:
    explicit SettingsReader(std::FILE* file) : text_(file) {}

    bool ok() const { return !failed_; }

    // At most 511 characters up to the line feed, which is consumed. A
    // longer line keeps its first 511 characters and fails the stream.
    bool Line(std::string* out) {
        out->clear();
        if (failed_) return false;
        int c = 0;
        while (out->size() < kMaxSettingsLine) {
            c = text_.Get();
            if (c == EOF || c == '\n') break;
            out->push_back(static_cast<char>(c));
        }
        if (out->size() == kMaxSettingsLine) {
            c = text_.Get();
            // The CR of a CR LF belongs to the line break.
            if (c == '\r') c = text_.Get() == '\n' ? '\n' : '\r';
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
        do c = text_.Get();
        while (c != EOF && std::isspace(c));
        std::string text;
        if (c == '+' || c == '-') {
            text.push_back(static_cast<char>(c));
            c = text_.Get();
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
            c = text_.Get();
        }
        if (c != EOF) text_.Unget(c);
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

    SettingsText text_;
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

bool ReadSettingsFile(const std::string& path, Settings* settings, files::OpenStatus* status) {
    std::FILE* file = files::OpenRegular(path, status);
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
    return files::ReplaceWithText(path, FormatSettings(settings));
}
