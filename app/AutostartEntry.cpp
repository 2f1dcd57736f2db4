#include "app/AutostartEntry.h"

#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

// The desktop entry's quoting for an Exec argument.
std::string Quoted(const std::string &argument)
{
    if (argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos)
        return argument;
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    // A literal percent sign is doubled in any Exec value.
    std::string escaped;
    for (char c : out) {
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return escaped;
}

} // namespace

std::string AutostartEntry::Path()
{
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the base-directory rules say.
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return std::string();
        folder = std::string(home) + "/.config";
    }
    return folder + "/autostart/tessaly.desktop";
}

bool AutostartEntry::Exists()
{
    const std::string path = Path();
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

std::string AutostartEntry::Contents(const std::string &program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tessaly\n"
           "Comment=启动 Tessaly 并恢复上次的任务\n"
           "Exec=" +
        Quoted(program) +
        " --restore --start --hidden\n"
        "Icon=tessaly\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEntry::Write(const std::string &program)
{
    const std::string path = Path();
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        return false;
    return KorrinUtilsFuns::ReplaceFileBytes(WideString::FromUtf8(path), Contents(program));
}

bool AutostartEntry::Remove()
{
    const std::string path = Path();
    if (path.empty())
        return true;
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}
