#pragma once
// What every bench program with windows and pages shares: its start-up, in
// which message boxes answer by themselves, and the process's memory.

#include "platform/UserInterface.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QDir>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// Before the QApplication exists.
inline void PrepareBenchProcess()
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

// Once the QApplication exists.
inline void InstallBenchPlatform()
{
    QtGraphics::ChooseRenderer();
    QtPlatform::Install();
    SetMessageBoxSeam([](HWND, const wstring16 &, const wstring16 &, UINT) { return IDOK; });
}

inline long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Proportional set size of this process and all its descendants, in MB.
inline double TreePssMb()
{
    std::map<int, int> parents;
    for (const auto &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string state;
        int parent = 0;
        fields >> state >> parent;
        parents[pid] = parent;
    }
    std::vector<int> tree {static_cast<int>(getpid())};
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto &[pid, parent] : parents)
            if (parent == tree[i])
                tree.push_back(pid);
    double kb = 0;
    for (int pid : tree) {
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        std::string line;
        while (std::getline(rollup, line))
            if (line.rfind("Pss:", 0) == 0)
                kb += std::stod(line.substr(4));
    }
    return kb / 1024.0;
}
