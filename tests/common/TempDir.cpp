#include "tests/common/TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Read-only files and folders made by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(
            it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}
