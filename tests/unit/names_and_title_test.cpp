// How file names are ordered and shown: the catalogue's natural order,
// menu labels, and the window title.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/window_title.h"
#include "viewer/file_names.h"

namespace {

using file_names::NaturalLess;

TEST(NaturalOrder, NumbersByValueLettersWithoutCaseAndATotalOrder) {
    std::vector<std::string> names = {"tex10.png", "Tex2.png", "tex1.png", "tex02.png",
                                      "b.png",     "A.png",    "a.png",    "tex.png",
                                      "tex2a.png", "x99999999999999999999.png", "x100.png"};
    std::sort(names.begin(), names.end(), NaturalLess);
    const std::vector<std::string> expected = {
        "A.png",     "a.png",     "b.png",    "tex.png", "tex1.png", "Tex2.png",
        "tex02.png", "tex2a.png", "tex10.png", "x100.png", "x99999999999999999999.png"};
    EXPECT_EQ(names, expected);
    // Strict weak order: irreflexive, and no two names are equivalent.
    for (const std::string& a : names) {
        EXPECT_FALSE(NaturalLess(a, a)) << a;
        for (const std::string& b : names) {
            if (a == b) continue;
            EXPECT_NE(NaturalLess(a, b), NaturalLess(b, a)) << a << " " << b;
        }
    }
}

TEST(MenuLabel, EveryAmpersandIsDoubled) {
    EXPECT_EQ(file_names::MenuLabel("Pal Magenta & Co.PNG"), "Pal Magenta && Co.PNG");
    EXPECT_EQ(file_names::MenuLabel("&&a&"), "&&&&a&&");
    EXPECT_EQ(file_names::MenuLabel("plain.png"), "plain.png");
}

TEST(WindowTitle, NamesWhatIsOnShow) {
    ShownFile shown;
    EXPECT_EQ(WindowTitle(shown), "Zintra - Zintra");

    shown.folder = "/home/p/textures";
    EXPECT_EQ(WindowTitle(shown), "Zintra - Zintra \u2014 /home/p/textures: no PNG files");
    shown.folderUnreadable = true;
    EXPECT_EQ(WindowTitle(shown), "Zintra - Zintra \u2014 /home/p/textures: folder cannot be read");
    shown.folderUnreadable = false;

    const std::string bricks = std::string("textures") + platform::kPathSeparator + "bricks.png";
    shown.path = bricks.c_str();
    shown.readable = true;
    shown.width = 512;
    shown.height = 256;
    shown.index = 2;
    shown.count = 41;
    EXPECT_EQ(WindowTitle(shown), "Zintra - Zintra \u2014 bricks.png (512 \u00d7 256) 3/41");

    const std::string rust = std::string("textures") + platform::kPathSeparator + "rust.png";
    shown.path = rust.c_str();
    shown.readable = false;
    EXPECT_EQ(WindowTitle(shown), "Zintra - Zintra \u2014 rust.png: cannot be read");
}

}  // namespace
