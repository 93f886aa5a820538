// The manual page's parts made from the usage text: what roff would
// misread is escaped, each usage line lands in its section, and the
// program's own usage loses nothing on the way.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "ui/man_page.h"

namespace {

TEST(RoffEscape, KeepsRoffFromReadingTextAsRequests) {
    const struct {
        const char* text;
        const char* roff;
    } cases[] = {
        {"plain words", "plain words"},
        {"--help", "\\-\\-help"},
        {"C:\\Zintra", "C:\\eZintra"},
        {".hidden at the start", "\\&.hidden at the start"},
        {"'quoted at the start", "\\&'quoted at the start"},
        {"a.png in a line", "a.png in a line"},
        {"one\n.two", "one\n\\&.two"},
        {"4 \u00d7 4 \u2014 done\u2026", "4 \\(mu 4 \\(em done\\&..."},
    };
    for (const auto& c : cases) EXPECT_EQ(RoffEscape(c.text), c.roff) << c.text;
}

TEST(UsageToRoff, PutsEachLineInItsSection) {
    const UsageRoff roff = UsageToRoff(
        "Usage: zintra [FOLDER | FILE.png]\n"
        "       zintra --check [--json] PATH...\n"
        "\n"
        "Shows the files\n"
        "of FOLDER.\n"
        "\n"
        "Second paragraph.\n"
        "\n"
        "Options:\n"
        "  -h, --help      print this help\n"
        "  --check [--json] PATH...  score PATH for seams,\n"
        "                  one line an image\n"
        "\n"
        "Keyboard:\n"
        "  ESC             Quit\n"
        "  Keypad + and -  Zoom\n"
        "\n"
        "Mouse:\n"
        "  LMB             Drag Texture\n");
    EXPECT_EQ(roff.synopsis,
              "\\fBzintra\\fR [\\fIFOLDER\\fR | \\fIFILE\\fR.png]\n.br\n"
              "\\fBzintra\\fR \\fB\\-\\-check\\fR [\\fB\\-\\-json\\fR] \\fIPATH\\fR...\n");
    EXPECT_EQ(roff.description, "Shows the files\nof FOLDER.\n.PP\nSecond paragraph.\n");
    EXPECT_EQ(roff.options,
              ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nprint this help\n"
              ".TP\n\\fB\\-\\-check\\fR [\\fB\\-\\-json\\fR] \\fIPATH\\fR...\n"
              "score PATH for seams,\none line an image\n");
    EXPECT_EQ(roff.keys,
              ".SS Keyboard\n.TP\n\\fBESC\\fR\nQuit\n.TP\n\\fBKeypad + and \\-\\fR\nZoom\n"
              ".SS Mouse\n.TP\n\\fBLMB\\fR\nDrag Texture\n");
}

TEST(UsageToRoff, CapitalisedWordsAreNotPlaceholders) {
    EXPECT_EQ(UsageToRoff("Usage: zintra [Folder | X | FILE_NAME]\n").synopsis,
              "\\fBzintra\\fR [Folder | X | \\fIFILE_NAME\\fR]\n");
}

TEST(UsageToRoff, TheProgramsUsageKeepsEveryOptionAndKey) {
    const std::string usage = UsageText();
    const UsageRoff roff = UsageToRoff(usage);
    EXPECT_NE(roff.synopsis.find("\\fBzintra\\fR"), std::string::npos);
    EXPECT_FALSE(roff.description.empty());
    for (const char* option : {"\\fB\\-\\-help\\fR", "\\fB\\-\\-version\\fR", "\\fB\\-h\\fR"})
        EXPECT_NE(roff.options.find(option), std::string::npos) << option;
    // Every key line of the usage becomes one entry, none lost to a section.
    std::size_t entries = 0;
    for (std::size_t at = roff.keys.find(".TP\n"); at != std::string::npos;
         at = roff.keys.find(".TP\n", at + 1))
        ++entries;
    std::size_t optionEntries = 0;
    for (std::size_t at = roff.options.find(".TP\n"); at != std::string::npos;
         at = roff.options.find(".TP\n", at + 1))
        ++optionEntries;
    std::size_t usageEntries = 0;
    for (std::size_t at = usage.find("\n  "); at != std::string::npos; at = usage.find("\n  ", at + 1))
        if (usage[at + 3] != ' ') ++usageEntries;
    EXPECT_EQ(entries + optionEntries, usageEntries);
    for (const char* key : {"\\fBESC\\fR", "\\fBQ\\fR", "\\fBF5\\fR"})
        EXPECT_NE(roff.keys.find(key), std::string::npos) << key;
}

TEST(FillTemplate, ReplacesEveryMarkAndLeavesOtherAtSigns) {
    EXPECT_EQ(FillTemplate("@A@ and @A@, mail@host, @B@", {{"A", "x@A@"}, {"B", ""}}),
              "x@A@ and x@A@, mail@host, ");
}

TEST(DropCovered, KeepsABlockOnlyWhileTheUsageLacksItsText) {
    const std::string page =
        "head\n"
        ".\\\" unless usage has: --check\n"
        "check text\n"
        ".\\\" end\n"
        "tail\n";
    EXPECT_EQ(DropCovered(page, "  --help  help\n"), "head\ncheck text\ntail\n");
    EXPECT_EQ(DropCovered(page, "  --check PATH  score\n"), "head\ntail\n");
    EXPECT_EQ(DropCovered("no marks", "--check"), "no marks");
}

}  // namespace
