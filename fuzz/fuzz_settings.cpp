// The settings reader on any bytes, through a real file. Whatever it
// keeps must be within its limits, and what is then written must read
// back the same.
#include <cstdint>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "fuzz_support.h"

namespace {

// A value ending in CR (from a line ending in two) loses it when read
// back; one with a CR inside is written as "NULL" on purpose. A first
// line that starts like a byte order mark (UTF-8's, or UTF-16's, which
// no UTF-8 text holds) is read back as the file's mark.
bool Writable(const std::string& text, bool first) {
    const bool marked = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ||
                        text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0;
    return text.back() != '\r' && StorableInSettings(text) && !(first && marked);
}

bool SameRect(const platform::Rect& a, const platform::Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = fuzz::ScratchDir();
    const std::string path = dir + "/zintra.cfg";
    FUZZ_CHECK(fuzz::WriteFile(path, data, size));

    Settings settings;
    FUZZ_CHECK(ReadSettingsFile(path, &settings));
    // A NUL ends a line's value; an empty or "NULL" value means none.
    for (const std::optional<std::string>* value : {&settings.editorPath, &settings.textureDir})
        FUZZ_CHECK(!*value || ((*value)->size() <= kMaxSettingsLine && !(*value)->empty() &&
                               **value != "NULL" && (*value)->find('\0') == std::string::npos));

    if (settings.editorPath && !Writable(*settings.editorPath, true)) return 0;
    if (settings.textureDir && !Writable(*settings.textureDir, false)) return 0;
    FUZZ_CHECK(WriteSettingsFile(path, settings));

    Settings again;
    FUZZ_CHECK(ReadSettingsFile(path, &again));
    FUZZ_CHECK(again.editorPath == settings.editorPath);
    FUZZ_CHECK(again.textureDir == settings.textureDir);
    FUZZ_CHECK(again.showHud == settings.showHud);
    FUZZ_CHECK(again.autoRefresh == settings.autoRefresh);
    FUZZ_CHECK(SameRect(again.windowRect, settings.windowRect));
    return 0;
}
