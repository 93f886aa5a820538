#include "ui/window_title.h"

#include "platform/platform.h"
#include "viewer/file_names.h"

namespace {

constexpr const char* kName = "Zintra - Zintra";
constexpr const char* kDash = " \u2014 ";
constexpr const char* kTimes = " \u00d7 ";

}  // namespace

std::string WindowTitle(const ShownFile& shown) {
    std::string title = kName;
    if (!shown.folder) return title;
    title += kDash;
    if (!shown.path) {
        title += shown.folder;
        if (shown.folderUnreadable) title += ": folder cannot be read";
        else title += shown.allImageTypes ? ": no PNG files or other images" : ": no PNG files";
        return title;
    }
    title += file_names::BaseName(shown.path, platform::kPathSeparator);
    if (!shown.readable) return title + ": cannot be read";
    title += " (" + std::to_string(shown.width) + kTimes + std::to_string(shown.height) + ") ";
    title += std::to_string(shown.index + 1) + "/" + std::to_string(shown.count);
    if (shown.previous) title += std::string(kDash) + "previous version";
    else if (shown.reloaded) title += std::string(kDash) + "reloaded";
    if (shown.readout && *shown.readout) title += std::string(kDash) + shown.readout;
    if (shown.seams && *shown.seams) title += std::string(kDash) + shown.seams;
    return title;
}
