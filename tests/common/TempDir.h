#pragma once
// A temporary folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &Path() const { return m_path; }
    // The folder with a trailing '/', as the program's folders are written.
    std::string Slash() const { return m_path.string() + "/"; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};
