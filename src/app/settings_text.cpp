#include "app/settings_text.h"

SettingsText::SettingsText(std::FILE* file) : file_(file) {
    unsigned char head[3];
    int n = 0;
    for (int c; n < 3 && (c = std::fgetc(file_)) != EOF;) head[n++] = static_cast<unsigned char>(c);
    int used = 0;
    if (n == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        used = 3;
    } else if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding_ = Encoding::Utf16Le;
        used = 2;
    } else if (n >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        encoding_ = Encoding::Utf16Be;
        used = 2;
    }
    if (encoding_ != Encoding::Bytes) {
        // The byte after a UTF-16 mark starts the first unit.
        if (n == 3) std::ungetc(head[2], file_);
        return;
    }
    for (int i = used; i < n; ++i) queue_[queued_++] = head[i];
}

int SettingsText::Get() {
    if (back_ != EOF) {
        const int c = back_;
        back_ = EOF;
        return c;
    }
    if (next_ < queued_) return queue_[next_++];
    if (encoding_ == Encoding::Bytes) return std::fgetc(file_);
    next_ = queued_ = 0;
    const int unit = Unit();
    if (unit < 0) return EOF;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        const int low = Unit();
        if (low >= 0xDC00 && low <= 0xDFFF) {
            Queue(0x10000 + ((static_cast<unsigned long>(unit) - 0xD800) << 10) +
                  (static_cast<unsigned long>(low) - 0xDC00));
        } else {
            heldUnit_ = low;
            Queue(0xFFFD);
        }
    } else {
        Queue(unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : static_cast<unsigned long>(unit));
    }
    return queue_[next_++];
}

// The next UTF-16 code unit, or -1 at the end (an odd last byte is dropped).
int SettingsText::Unit() {
    if (heldUnit_ >= 0) {
        const int unit = heldUnit_;
        heldUnit_ = -1;
        return unit;
    }
    const int first = std::fgetc(file_);
    const int second = first == EOF ? EOF : std::fgetc(file_);
    if (second == EOF) return -1;
    return encoding_ == Encoding::Utf16Le ? first | second << 8 : first << 8 | second;
}

void SettingsText::Queue(unsigned long c) {
    if (c < 0x80) {
        queue_[queued_++] = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        queue_[queued_++] = static_cast<unsigned char>(0xC0 | c >> 6);
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        queue_[queued_++] = static_cast<unsigned char>(0xE0 | c >> 12);
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        queue_[queued_++] = static_cast<unsigned char>(0xF0 | c >> 18);
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        queue_[queued_++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
}
