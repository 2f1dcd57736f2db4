#pragma once
// How the pages of the browser views are put on the screen.

class QtGraphics {
public:
    // Picks Qt Quick's software renderer when OpenGL would run on the processor
    // (no graphics card: a virtual machine, a remote desktop), unless the user
    // chose a renderer through Qt's own environment variables. Call after the
    // application object exists and before the first browser view.
    static void ChooseRenderer();

    // True for the name OpenGL gives a renderer that draws on the processor.
    static bool IsSoftwareRenderer(const char *name);
};
