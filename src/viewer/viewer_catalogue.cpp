// The catalogue of the texture directory: scanning, stepping, loading.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "glpng/decode/image_reader.h"
#include "glpng/texture_upload.h"
#include "platform/files.h"
#include "render/texture_bank.h"
#include "viewer/file_names.h"
#include "viewer/view_math.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr std::int32_t kMaxEntries = std::numeric_limits<std::int16_t>::max();

std::string EntryPath(const std::string& dir, const char* name) {
    std::string path = dir;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

// RAII for one directory search.
class Search {
public:
    explicit Search(const std::string& pattern)
        : handle_(platform::SearchFirst(pattern.c_str(), &data_)) {}
    ~Search() {
        if (handle_) platform::SearchClose(handle_);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    // The current entry's name, or nullptr once the search is exhausted.
    const char* Name() const { return handle_ && !done_ ? data_.name : nullptr; }
    void Advance() {
        if (handle_ && !done_) done_ = !platform::SearchNext(handle_, &data_);
    }

private:
    platform::FindData data_{};
    platform::SearchHandle handle_;
    bool done_ = false;
};

}  // namespace

void ViewerScene::SetDirectory(const char* path, bool rescan) {
    if (!path) return;
    if (std::strlen(path) > kMaxDirLength) return;  // would not fit the buffer
    textureDir = std::string(path);
    if (rescan) Rescan(true);
}

void ViewerScene::Rescan(bool resetView) {
    std::string previous;
    bool keptPrevious = false;
    if (!paths.empty()) {
        if (currentIndex >= 0 && currentIndex < static_cast<std::int32_t>(paths.size())) {
            previous = paths[currentIndex];
            keptPrevious = true;
        }
        paths.clear();
    }

    pathCount = 0;
    currentIndex = holdIndex ? 0 : -1;

    // Entries whose full path would not fit 254 characters are skipped,
    // counted as Windows counts them: one Cyrillic letter is one, not two.
    // Names are listed in natural order, whatever order the search gives.
    std::vector<std::string> names;
    if (textureDir) {
        // PNG files only: the search's own "*.png", exactly as before
        // there were other formats. All types: every name, told by its
        // extension.
        std::string pattern = *textureDir;
        pattern += platform::kPathSeparator;
        pattern += allImageTypes ? "*" : "*.png";
        for (Search search(pattern);
             search.Name() && names.size() < static_cast<std::size_t>(kMaxEntries); search.Advance())
            if ((!allImageTypes ||
                 glpng::FormatOfName(search.Name()) != glpng::ImageFormat::Unknown) &&
                files::Utf16Length(EntryPath(*textureDir, search.Name())) <= kMaxEntryLength)
                names.emplace_back(search.Name());
        std::sort(names.begin(), names.end(), file_names::NaturalLess);
    }
    // Nothing found may mean nothing could be looked at.
    folderUnreadable = names.empty() && textureDir && platform::FolderUnreadable(textureDir->c_str());

    if (!names.empty()) {
        paths.reserve(names.size());
        if (jumpMenu) platform::DestroyMenuTree(jumpMenu);
        jumpMenu = platform::NewMenu();
        markedIndex_ = -1;
        std::int32_t i = 0;
        for (const std::string& name : names) {
            std::string path = EntryPath(*textureDir, name.c_str());
            platform::AppendMenuItem(jumpMenu, IDM_JUMP_FIRST + static_cast<std::uint32_t>(i),
                                     file_names::MenuLabel(name).c_str());
            if (keptPrevious && path == previous)
                currentIndex = static_cast<std::int16_t>(i - 1);
            paths.push_back(std::move(path));
            ++i;
        }
        pathCount = static_cast<std::int16_t>(i);
        if (!startFile.empty()) {
            for (std::int32_t k = 0; k < pathCount; ++k)
                if (paths[static_cast<std::size_t>(k)] == startFile)
                    currentIndex = static_cast<std::int16_t>(holdIndex ? k : k - 1);
            startFile.clear();
        }
    } else {
        // The old list hangs in the command menu that is about to be
        // rebuilt and goes with it; keeping its handle would leave a
        // stale one that a later scan would destroy again.
        jumpMenu = nullptr;
    }

    host_->BuildCommandMenu();

    if (pathCount > 0) {
        StepTexture(true, resetView);
    } else {
        gTextureBank.ResetPool(2, 0);
        gTextureBank.ResetPool(0, 1);
        previousTexture = 0;
        shownReadable = false;
        shownPath_.clear();
        NewPicture();
        WantNeighbours();
        // Files added later still show up.
        watch.Watch(std::string(), textureDir ? *textureDir : std::string());
        UpdateReadout();  // names nothing now
        host_->ShownChanged();
    }
}

std::uint16_t ViewerScene::StepTexture(bool forward, bool resetView) {
    if (paths.empty()) return 0;

    if (!holdIndex) {
        std::int32_t index = currentIndex + (forward ? 1 : -1);
        if (index < 0)
            index = pathCount - 1;
        else if (index >= pathCount)
            index = 0;
        currentIndex = static_cast<std::int16_t>(index);
    }
    if (currentIndex < 0 || currentIndex >= static_cast<std::int32_t>(paths.size()))
        currentIndex = 0;

    const std::uint16_t oldWidth = textureWidth, oldHeight = textureHeight;
    // The file on show loaded again (a save seen live, the focus back):
    // decoded before the old texture goes, so a file caught mid-save
    // leaves the last good picture; the view stays at the same size.
    const bool reload = shownReadable && paths[currentIndex] == shownPath_;
    std::uint16_t size[2] = {0, 0};
    // Another file's picture is let go whatever happens: its storage may
    // take the new one. A reload keeps the old picture until the new one
    // is whole, so it takes fresh storage.
    const GLuint recycle = reload ? 0 : texture;
    // Stamped before the decode, so a save made meanwhile still counts.
    if (!reload) watch.Watch(paths[currentIndex], textureDir ? *textureDir : std::string());
    const GLuint fresh = LoadTexture(paths[currentIndex], size, recycle);
    if (!fresh) watch.LoadFailed(platform::FileInUse(paths[currentIndex].c_str()));
    if (reload && !fresh) {
        holdIndex = false;
        return textureHeight;
    }
    // The version before a reload stays for comparing; another file drops it.
    gTextureBank.ResetPool(0, 1);
    previousTexture = 0;
    if (reload) {
        gTextureBank.Forget(2);
        gTextureBank.Adopt(0, texture);
        previousTexture = texture;
    }
    if (fresh && fresh == recycle) gTextureBank.Forget(2);  // lives on with the new picture
    gTextureBank.ResetPool(2, 1);
    gTextureBank.Adopt(2, fresh);
    texture = fresh;
    NewPicture();
    textureWidth = size[0];
    textureHeight = size[1];
    shownReadable = texture != 0;
    shownPath_ = paths[currentIndex];
    if (texture) watch.LoadSucceeded();
    const bool keepView = reload && !resetView && textureWidth == oldWidth && textureHeight == oldHeight;

    // The jump list marks the file on show.
    if (jumpMenu && markedIndex_ != currentIndex) {
        if (markedIndex_ >= 0)
            platform::SetMenuItemChecked(jumpMenu, IDM_JUMP_FIRST + static_cast<std::uint32_t>(markedIndex_), false);
        platform::SetMenuItemChecked(jumpMenu, IDM_JUMP_FIRST + static_cast<std::uint32_t>(currentIndex), true);
        markedIndex_ = currentIndex;
    }

    // The loader caps sides at 16384, so 2w and 2h fit 32 bits easily.
    const GLint x = 2 * static_cast<GLint>(textureWidth);
    const GLint y = 2 * static_cast<GLint>(textureHeight);
    if (quadVertices) {
        const GLint xs[4] = {-x, x, x, -x};
        const GLint ys[4] = {-y, -y, y, y};
        for (int v = 0; v < 4; ++v) {
            quadVertices[v * 3 + 0] = xs[v];
            quadVertices[v * 3 + 1] = ys[v];
        }
    }

    if (!keepView) host_->SetViewportChanged(true);
    freshSince_ = reload ? 0.0f : -1.0f;

    const std::int32_t homeDistance = 4 * static_cast<std::int32_t>(textureHeight);
    if (resetView) {
        distance = homeDistance;
        yaw = 0;
        pitch = 0;
        offsetX = 0;
        offsetY = 0;
    }
    if (textureHeight != oldHeight) distance = homeDistance;

    holdIndex = false;
    WantNeighbours();
    UpdateReadout();  // of the new picture, where the pointer stands
    host_->ShownChanged();
    return textureHeight;
}

GLuint ViewerScene::LoadTexture(const std::string& path, std::uint16_t size[2], GLuint recycle) {
    if (prefetch && prefetch->Has(path)) {
        // Fresh storage costs about as much as a decode: it is made here
        // while the worker finishes.
        glpng::TextureSize pending{0, 0};
        GLuint storage = 0;
        if (prefetch->WaitForSize(path, &pending) && !glpng::StorageFits(recycle, pending, true))
            storage = glpng::MakeStorage(pending, true);
        const auto prepared = prefetch->Take(path);
        const GLuint target = storage ? storage : recycle;
        const GLuint fresh = prepared ? gTextureBank.LoadPrepared(*prepared, size, -1, target) : 0;
        if (storage && fresh != storage) glDeleteTextures(1, &storage);
        if (fresh) return fresh;
    }
    return gTextureBank.LoadPngInto(path.c_str(), size, -1, recycle);
}

void ViewerScene::WantNeighbours() {
    if (!prefetch) return;
    std::vector<std::string> wanted;
    if (prefetchNeighbours && pathCount > 1 && currentIndex >= 0 && currentIndex < pathCount) {
        // ] first: painters mostly step forwards.
        wanted.push_back(paths[static_cast<std::size_t>((currentIndex + 1) % pathCount)]);
        wanted.push_back(paths[static_cast<std::size_t>((currentIndex + pathCount - 1) % pathCount)]);
    }
    prefetch->Want(wanted);
}

void ViewerScene::PrefetchStart(const std::string& file) {
    if (prefetch && prefetchNeighbours) prefetch->Want({file});
}

void ViewerScene::ReloadShown() {
    if (paths.empty()) return;
    holdIndex = true;  // the same entry, no step
    StepTexture(true, false);
}

void ViewerScene::ShowUnreadable() {
    gTextureBank.ResetPool(0, 1);
    previousTexture = 0;
    gTextureBank.ResetPool(2, 1);
    texture = 0;
    NewPicture();
    textureWidth = textureHeight = 0;
    shownReadable = false;
    host_->SetViewportChanged(true);
    UpdateReadout();  // names nothing now
    host_->ShownChanged();
}

void ViewerScene::AgeFreshMark(float elapsedMs) {
    if (freshSince_ < 0) return;
    freshSince_ += elapsedMs;
    if (freshSince_ > kFreshMarkMs) {
        freshSince_ = -1;
        host_->ShownChanged();
    }
}

void ViewerScene::UpdateWatch(float elapsedMs) {
    // With Auto Refresh off nothing reloads by itself.
    if (!autoRefresh) return;
    const unsigned found = watch.Poll(elapsedMs);
    // Given up first, so a load in the same pass shows what it decodes.
    if ((found & ChangeWatch::kGiveUp) && shownReadable) ShowUnreadable();
    if (found & ChangeWatch::kFolderChanged) {
        Rescan(false);  // reloads the file on show as well
    } else if (found & (ChangeWatch::kFileChanged | ChangeWatch::kRetry)) {
        ReloadShown();
    }
}

void ViewerScene::JumpTo(std::int16_t index) {
    if (paths.empty()) return;  // an empty catalogue keeps its state
    currentIndex = viewer_math::Saturate16(static_cast<std::int32_t>(index) - 1);
    StepTexture(true, false);
}

const char* ViewerScene::CurrentTexturePath() const {
    if (pathCount <= 0 || currentIndex < 0 ||
        currentIndex >= static_cast<std::int32_t>(paths.size()))
        return nullptr;
    return paths[currentIndex].c_str();
}
