#pragma once
// What every bench program with windows and pages shares: its start-up, in
// which message boxes answer by themselves, and the process's memory.

#include "platform/UserInterface.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <string>

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
