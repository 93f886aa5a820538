// The catalogue's path forming on any directory name and any entry names.
// This target links its own directory search, which serves the names
// from the input, so Rescan, StepTexture and JumpTo run unchanged on
// names no real folder would hold. The folder never exists, so no file
// is ever opened.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/tester_app.h"
#include "glpng/decode/image_reader.h"
#include "fuzz_support.h"
#include "viewer/file_names.h"
#include "platform/headless/headless.h"
#include "platform/files.h"
#include "platform/menu_tree.h"
#include "platform/platform.h"

namespace {

const std::string kRoot = "/nonexistent-zintra-fuzz";

std::vector<std::string> gNames;
std::string gExpectedPattern;
int gOpenSearches = 0;

}  // namespace

namespace platform {

struct SearchTag {
    std::size_t next = 0;
};

SearchHandle SearchFirst(const char* pattern, FindData* data) {
    FUZZ_CHECK(pattern && pattern == gExpectedPattern);
    if (gNames.empty()) return nullptr;
    ++gOpenSearches;
    auto* search = new SearchTag;
    std::memcpy(data->name, gNames[0].c_str(), gNames[0].size() + 1);
    search->next = 1;
    return search;
}

bool SearchNext(SearchHandle search, FindData* data) {
    if (search->next >= gNames.size()) return false;
    const std::string& name = gNames[search->next++];
    std::memcpy(data->name, name.c_str(), name.size() + 1);
    return true;
}

void SearchClose(SearchHandle search) {
    --gOpenSearches;
    delete search;
}

// The listing stands in for the folder, so the folder itself reads.
bool FolderUnreadable(const char*) { return false; }

}  // namespace platform

namespace {

// Input: the folder's name below kRoot, then the entry names, each ended
// by a NUL (names can hold any other byte). Names that do not fit the
// search's buffer are dropped, as the real search drops them.
void Parse(const std::uint8_t* data, std::size_t size, std::string* dir) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back().push_back(static_cast<char>(data[i]));
    }
    *dir = kRoot + parts[0];
    gNames.clear();
    for (std::size_t i = 1; i < parts.size(); ++i)
        if (!parts[i].empty() && parts[i].size() < platform::kMaxName) gNames.push_back(parts[i]);
}

void CheckCatalogue(const ViewerScene& viewer, const std::string& dir) {
    // The catalogue lists the names that fit, counted in UTF-16 units, in
    // natural order.
    std::vector<std::string> names, expected;
    // With every image type the catalogue searches for every name and
    // keeps those of a known extension; PNG files only, the search's own
    // "*.png" decides (and the names here stand for what it matched).
    for (const std::string& name : gNames)
        if (files::Utf16Length(dir + "/" + name) <= ViewerScene::kMaxEntryLength &&
            (!viewer.allImageTypes || glpng::FormatOfName(name) != glpng::ImageFormat::Unknown))
            names.push_back(name);
    std::sort(names.begin(), names.end(), file_names::NaturalLess);
    for (const std::string& name : names) expected.push_back(dir + "/" + name);
    FUZZ_CHECK(viewer.paths == expected);
    FUZZ_CHECK(viewer.pathCount == static_cast<std::int32_t>(expected.size()));

    std::size_t items = 0;
    if (const platform::menus::Menu* menu = platform::menus::Find(viewer.jumpMenu)) {
        for (const auto& item : menu->items) {
            FUZZ_CHECK(items < expected.size());
            FUZZ_CHECK(item.id == 40015 + items);
            FUZZ_CHECK(item.label == file_names::MenuLabel(names[items]));
            ++items;
        }
    }
    FUZZ_CHECK(items == expected.size());

    const char* current = viewer.CurrentTexturePath();
    FUZZ_CHECK((current != nullptr) == !expected.empty());
    if (current) FUZZ_CHECK(files::Utf16Length(current) <= ViewerScene::kMaxEntryLength);
    FUZZ_CHECK(viewer.texture == 0 && viewer.textureWidth == 0 && viewer.textureHeight == 0);
    FUZZ_CHECK(gOpenSearches == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    headless::Reset();
    std::string dir;
    Parse(data, size, &dir);
    TesterApp app;
    ViewerScene& viewer = *app.viewer;
    viewer.allImageTypes = size % 2 == 0;
    gExpectedPattern = dir + (viewer.allImageTypes ? "/*" : "/*.png");
    viewer.SetDirectory(dir.c_str(), true);
    if (dir.size() > ViewerScene::kMaxDirLength) {
        FUZZ_CHECK(!viewer.textureDir && viewer.paths.empty());
        return 0;
    }
    FUZZ_CHECK(viewer.textureDir == dir);
    CheckCatalogue(viewer, dir);

    // Steps both ways and jumps stay on the list.
    for (int i = 0; i < 3; ++i) viewer.StepTexture(i != 1, false);
    viewer.JumpTo(static_cast<std::int16_t>(size));
    viewer.JumpTo(-1);
    CheckCatalogue(viewer, dir);

    // A rescan after the folder changed: the file on show, when still
    // there, stays on show.
    const std::string before = viewer.CurrentTexturePath() ? viewer.CurrentTexturePath() : "";
    if (!gNames.empty()) gNames.erase(gNames.begin());
    viewer.Rescan(false);
    CheckCatalogue(viewer, dir);
    bool stillThere = false;
    for (const std::string& path : viewer.paths) stillThere = stillThere || path == before;
    if (stillThere) FUZZ_CHECK(before == viewer.CurrentTexturePath());
    return 0;
}
