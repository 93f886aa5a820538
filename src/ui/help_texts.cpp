#include "ui/help_texts.h"

#include <cstddef>

#include "app/command_line.h"
#include "viewer/command_table.h"

std::string ControlsText() {
    std::string text = std::string(kControlsText) + "\n\nMore keys\n" + std::string(30, '=');
    for (const KeyRow& row : AddedKeyRows()) text += '\n' + TabbedRow(row);
    return text;
}

std::string UsageText() {
    std::string text =
        "Usage: zintra [FOLDER | FILE]\n"
        "   or: zintra --check [--json] PATH...\n"
        "\n"
        "Shows the images of FOLDER, or of FILE's folder with that file on\n"
        "show, tiled 4 x 4. Without an argument: the folder of the last run.\n"
        "\n"
        "Formats: PNG (.png), JPEG (.jpg .jpeg), WebP (.webp), Targa (.tga),\n"
        "PSD (.psd), Krita (.kra) and OpenRaster (.ora).\n"
        "\n"
        "Options:\n"
        "  -h, --help      print this help and exit\n"
        "  --version       print the version and exit\n"
        "  --check [--json] PATH...\n"
        "                  print the seam score of each image (of each folder's\n"
        "                  images), across and down, with no window; exit 0 when\n"
        "                  all tile, 1 when one has a seam, 2 when one cannot be read\n"
        "  --              what follows is a folder or file, even if it starts with -\n";
    // The keys as Help > Controls lists them, its tab columns as blanks.
    const std::string controls = ControlsText();
    std::size_t start = 0;
    while (start <= controls.size()) {
        std::size_t end = controls.find('\n', start);
        if (end == std::string::npos) end = controls.size();
        const std::string line = controls.substr(start, end - start);
        start = end + 1;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            // A section name (after a blank line); its rule of = is left out.
            if (!line.empty() && line[0] != '=') text += '\n' + line + ":\n";
            continue;
        }
        const std::string keys = line.substr(0, tab);
        text += "  " + keys + std::string(keys.size() < 16 ? 16 - keys.size() : 1, ' ') +
                line.substr(line.find_first_not_of('\t', tab)) + '\n';
    }
    return text;
}

std::string VersionText() {
    return "zintra " ZINTRA_VERSION "\n";
}
