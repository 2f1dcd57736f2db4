#pragma once
// The keyboard's lock lights as the X server keeps them, whichever program
// the keys were pressed in.

class X11Keyboard {
public:
    enum Light : int { CapsLock = 1, NumLock = 2, ScrollLock = 4 };

    // The lit lights as Light bits, or -1 without an X server.
    static int LockLights();
};
