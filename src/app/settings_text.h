// The settings files' bytes as their readers take them: UTF-8, whatever
// an editor saved them in. A UTF-8 byte order mark is skipped, UTF-16
// with a mark (either byte order) is converted, anything else is read as
// it stands. Streamed: a huge file costs no memory.
#pragma once

#include <cstdio>

class SettingsText {
public:
    // Reads the mark, if any, from the start of `file`.
    explicit SettingsText(std::FILE* file);

    // The next byte, or EOF.
    int Get();
    // Puts back the byte Get gave last (one at most).
    void Unget(int c) { back_ = c; }

private:
    enum class Encoding { Bytes, Utf16Le, Utf16Be };

    int Unit();
    void Queue(unsigned long codePoint);

    std::FILE* file_;
    Encoding encoding_ = Encoding::Bytes;
    unsigned char queue_[4] = {};
    int queued_ = 0, next_ = 0;
    int back_ = EOF;
    int heldUnit_ = -1;  // read past a lone high surrogate
};
