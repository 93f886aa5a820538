// The one place for files: lengths as path limits count them, and what
// opening a name finds there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

TEST(Files, Utf16LengthCountsWhatWindowsCountsAndEachStrayByteOnce) {
    std::string cyrillic;
    for (int i = 0; i < 130; ++i) cyrillic += "\xD0\xB6";
    const struct {
        std::string text;
        std::size_t units;
    } rows[] = {
        {"", 0},
        {"C:\\tex\\a.png", 12},
        {cyrillic, 130},                      // 260 bytes
        {"\xE6\xBC\xA2\xE5\xAD\x97", 2},      // two kanji
        {"\xF0\x9F\x8E\xA8", 2},              // a surrogate pair
        {"Caf\xE9", 4},                       // ANSI, not UTF-8
        {"\x80\x80\x80", 3},                  // stray continuation bytes
        {"\xC0\xAF", 2},                      // overlong
        {"\xED\xA0\x80", 3},                  // an encoded surrogate
        {"\xE6\xBC", 2},                      // cut short
        {"\xF4\x90\x80\x80", 4},              // past U+10FFFF
    };
    for (const auto& row : rows) EXPECT_EQ(files::Utf16Length(row.text), row.units) << row.text;
}

TEST(Files, OpeningTellsMissingFromNotAFileFromUnreadable) {
    TempDir dir;
    const std::string file = dir.Write("a.cfg", "x");
    std::filesystem::create_directories(dir.path() / "folder");
    const struct {
        std::string path;
        files::OpenStatus status;
    } rows[] = {
        {file, files::OpenStatus::Opened},
        {(dir.path() / "none.cfg").string(), files::OpenStatus::Missing},
        {(dir.path() / "none" / "a.cfg").string(), files::OpenStatus::Missing},
        {(dir.path() / "folder").string(), files::OpenStatus::NotRegular},
    };
    for (const auto& row : rows) {
        files::OpenStatus status = files::OpenStatus::Missing;
        std::FILE* opened = files::OpenRegular(row.path, &status);
        EXPECT_EQ(status, row.status) << row.path;
        EXPECT_EQ(opened != nullptr, row.status == files::OpenStatus::Opened) << row.path;
        if (opened) std::fclose(opened);
    }
}

}  // namespace
