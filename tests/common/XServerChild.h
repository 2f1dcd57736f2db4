#pragma once
// Tests that need real key presses run in a child copy of their suite on the X
// server (the suites themselves run offscreen). The parent's test starts the
// child with a marker variable and a filter; the child's tests check IsChild.

#include <QString>

class XServerChild {
public:
    // True in the child started under this marker.
    static bool IsChild(const char *marker);
    // The parent's whole test body: skips in the child, without a display or
    // without xdotool; otherwise runs the filtered suite in a child on the X
    // server and expects it to pass exactly `tests` tests.
    static void Run(const char *marker, const QString &filter, int tests, int timeoutMs);
};
