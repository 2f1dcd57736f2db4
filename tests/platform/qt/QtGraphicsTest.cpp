// The renderer choice: which OpenGL renderers draw on the processor.

#include "platform/qt/QtGraphics.h"

#include <gtest/gtest.h>

TEST(QtGraphics, RenderersOnTheProcessorAreToldFromGraphicsCards)
{
    const struct {
        const char *name;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Mesa DRI swrast", true},
        {"Software Rasterizer", true},
        {"", true}, // no OpenGL at all
        {nullptr, true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QtGraphics::IsSoftwareRenderer(c.name), c.software) << (c.name ? c.name : "(null)");
}
