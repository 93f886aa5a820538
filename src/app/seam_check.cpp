#include "app/seam_check.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

#include "app/install_paths.h"
#include "glpng/decode/image_reader.h"
#include "glpng/seam_score.h"
#include "platform/platform.h"
#include "viewer/file_names.h"

namespace {

struct Checked {
    explicit Checked(std::string p) : path(std::move(p)) {}
    std::string path;
    bool read = false;
    unsigned width = 0, height = 0;
    glpng::SeamScore score;
};

// A folder's images, as the viewer lists them (every format, natural order).
std::vector<std::string> FolderImages(const std::string& folder) {
    std::vector<std::string> names;
    platform::FindData data{};
    const std::string pattern = folder + platform::kPathSeparator + "*";
    if (platform::SearchHandle search = platform::SearchFirst(pattern.c_str(), &data)) {
        do {
            if (glpng::FormatOfName(data.name) != glpng::ImageFormat::Unknown)
                names.emplace_back(data.name);
        } while (platform::SearchNext(search, &data));
        platform::SearchClose(search);
    }
    std::sort(names.begin(), names.end(), file_names::NaturalLess);
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder + platform::kPathSeparator + name);
    return paths;
}

void Check(Checked* item) {
    glpng::ImageReader reader;
    if (!reader.Open(item->path.c_str())) return;
    const std::uint8_t key[3] = {255, 0, 255};
    glpng::PixelBuffer pixels(nullptr, std::free);
    if (!reader.ReadKeyedImage(key, &pixels)) return;
    item->width = reader.header().width;
    item->height = reader.header().height;
    item->score = glpng::ScoreSeams(pixels.get(), item->width, item->height);
    item->read = true;
}

// Each worker takes the next image; every core decodes.
void CheckAll(std::vector<Checked>& items) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < items.size();) Check(&items[i]);
    };
    const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < std::min<std::size_t>(cores, items.size()); ++i) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string Verdict(const glpng::SeamAxis& axis) { return axis.ok ? "tiles" : "SEAM"; }

}  // namespace

int RunSeamCheck(const std::vector<std::string>& paths, bool json) {
    std::vector<Checked> items;
    int status = kCheckTiles;
    std::string errors;
    for (const std::string& path : paths) {
        if (!IsFolder(path)) {
            items.emplace_back(path);
            continue;
        }
        const std::vector<std::string> images = FolderImages(path);
        if (images.empty()) {
            errors += "zintra: " + path + ": no PNG files or other images\n";
            status = kCheckUnreadable;
        }
        for (const std::string& image : images) items.emplace_back(image);
    }
    CheckAll(items);

    std::string out = json ? "[" : "";
    bool first = true;
    for (const Checked& item : items) {
        if (!item.read) {
            errors += "zintra: " + item.path + ": cannot be read\n";
            status = kCheckUnreadable;
            continue;
        }
        const glpng::SeamScore& s = item.score;
        if ((!s.across.ok || !s.down.ok) && status == kCheckTiles) status = kCheckSeam;
        if (json) {
            out += std::string(first ? "\n" : ",\n") + "  {\"path\": " + JsonString(item.path) +
                   ", \"width\": " + std::to_string(item.width) +
                   ", \"height\": " + std::to_string(item.height) +
                   ", \"across\": " + Number(s.across.score) + ", \"down\": " + Number(s.down.score) +
                   ", \"across_ok\": " + (s.across.ok ? "true" : "false") +
                   ", \"down_ok\": " + (s.down.ok ? "true" : "false") + "}";
        } else {
            out += item.path + ": across " + Number(s.across.score) + " " + Verdict(s.across) +
                   ", down " + Number(s.down.score) + " " + Verdict(s.down) + "\n";
        }
        first = false;
    }
    if (json) out += first ? "]\n" : "\n]\n";
    if (!platform::WriteStandard(platform::Stream::Output, out) && status == kCheckTiles)
        status = kCheckUnreadable;
    if (!errors.empty()) platform::WriteStandard(platform::Stream::Error, errors);
    return status;
}
