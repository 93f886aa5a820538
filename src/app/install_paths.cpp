#include "app/install_paths.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "glpng/decode/image_reader.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

bool Set(const char* value) { return value && *value; }

std::string Join(const std::string& dir, const std::string& name) {
    return dir + platform::kPathSeparator + name;
}

// Paths are UTF-8 inside the program on every system.
fs::path FromUtf8(const std::string& text) {
#if defined(__cpp_char8_t)
    return fs::path(std::u8string(text.begin(), text.end()));
#else
    return fs::u8path(text);
#endif
}

std::string ToUtf8(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool Listed(const std::string& name, bool allImageTypes) {
    const glpng::ImageFormat format = glpng::FormatOfName(name);
    return allImageTypes ? format != glpng::ImageFormat::Unknown : format == glpng::ImageFormat::Png;
}

}  // namespace

InstallPaths ChooseInstallPaths(const std::string& exeDir, bool systemBeside,
                                const char* xdgConfigHome, const char* home, const char* appData) {
    InstallPaths paths;
    if (systemBeside) {
        paths.systemDir = Join(exeDir, "system");
        paths.settingsDir = exeDir;
        return paths;
    }
    paths.portable = false;
    paths.systemDir = Join(Join(Join(Join(exeDir, ".."), "share"), "zintra"), "system");
#ifdef _WIN32
    (void)xdgConfigHome;
    (void)home;
    paths.settingsDir = Set(appData) ? Join(appData, "Zintra") : exeDir;
#else
    (void)appData;
    // The base directory rules make a relative path invalid: it would put
    // the settings under whatever folder the program started in.
    if (Set(xdgConfigHome) && xdgConfigHome[0] == '/')
        paths.settingsDir = Join(xdgConfigHome, "zintra");
    else if (Set(home))
        paths.settingsDir = Join(Join(home, ".config"), "zintra");
    else
        paths.settingsDir = exeDir;  // nowhere better to go
#endif
    return paths;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(FromUtf8(path), error);
}

bool MakeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(FromUtf8(path), error);
    return IsFolder(path);
}

OpenTarget ResolveOpenTarget(const std::string& argument, bool allImageTypes) {
    OpenTarget target;
    std::error_code error;
    const fs::path path = fs::absolute(FromUtf8(argument), error);
    if (argument.empty() || error) return target;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return target;
    if (fs::is_directory(status)) {
        target.kind = OpenTarget::Folder;
        target.folder = ToUtf8(path.lexically_normal());
        // No trailing separator: the catalogue adds its own.
        while (target.folder.size() > 1 && target.folder.back() == platform::kPathSeparator)
            target.folder.pop_back();
        return target;
    }
    if (!fs::is_regular_file(status) || !Listed(ToUtf8(path.filename()), allImageTypes)) {
        target.kind = OpenTarget::NotImage;
        target.file = ToUtf8(path);
        return target;
    }
    target.kind = OpenTarget::File;
    target.file = ToUtf8(path.lexically_normal());
    target.folder = ToUtf8(path.lexically_normal().parent_path());
    return target;
}
