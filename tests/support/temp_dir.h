// A temporary directory removed with everything in it at scope exit.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
public:
    // Made owner-only (some users of it, like XDG_RUNTIME_DIR, insist).
    explicit TempDir(const std::string& prefix = "zintra-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Writes `content` to a file below the directory and returns its path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::filesystem::path path_;
};
