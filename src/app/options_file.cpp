#include "app/options_file.h"

#include <cstdio>

#include "app/settings_file.h"
#include "app/settings_text.h"

namespace {

bool ReadFlag(const std::string& value, bool* flag) {
    if (value != "0" && value != "1") return false;
    *flag = value == "1";
    return true;
}

}  // namespace

bool ReadOptionsFile(const std::string& path, ViewOptions* options, files::OpenStatus* status) {
    std::FILE* file = files::OpenRegular(path, status);
    if (!file) return false;
    SettingsText text(file);
    std::string line;
    // Lines are short; a longer one is cut and cannot match a key.
    for (int c = 0; c != EOF;) {
        c = text.Get();
        if (c != EOF && c != '\n') {
            if (line.size() <= kMaxSettingsLine) line.push_back(static_cast<char>(c));
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
            if (key == "readout") ReadFlag(value, &options->readout);
            if (key == "tile_marks") ReadFlag(value, &options->tileMarks);
            if (key == "seam_view") ReadFlag(value, &options->seamView);
            if (key == "repeat") options->repeat = value;
            if (key == "all_image_types") ReadFlag(value, &options->allImageTypes);
        }
        line.clear();
    }
    std::fclose(file);
    return true;
}

std::string FormatOptions(const ViewOptions& options) {
    return std::string("readout=") + (options.readout ? "1" : "0") + "\n" +
           "tile_marks=" + (options.tileMarks ? "1" : "0") + "\n" +
           "seam_view=" + (options.seamView ? "1" : "0") + "\n" + "repeat=" + options.repeat + "\n" +
           "all_image_types=" + (options.allImageTypes ? "1" : "0") + "\n";
}

bool WriteOptionsFile(const std::string& path, const ViewOptions& options) {
    return files::ReplaceWithText(path, FormatOptions(options));
}
