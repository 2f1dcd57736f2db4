#pragma once
// The desktop's autostart entry that starts the program with its work resumed
// when the user logs in: $XDG_CONFIG_HOME/autostart/tessaly.desktop (by default
// ~/.config/autostart/), running the program with --restore --start --hidden.

#include "platform/Win32Types.h"

#include <string>

class AutostartEntry {
public:
    // Empty when neither XDG_CONFIG_HOME nor HOME says where it goes.
    static std::string Path();
    static bool Exists();
    // program: the executable to run (an absolute path, or a name found on PATH).
    static bool Write(const std::string &program);
    // True when no entry is left.
    static bool Remove();
    static std::string Contents(const std::string &program);
};
