#pragma once

#include <QString>

// Types a text as keystrokes through the X server's XTest extension into the window that takes the
// keyboard focus after a program was started. Only the program sbk links it (libXtst).
class XTestTyper {
public:
    // Waits up to timeoutMs for another window to take the focus, then types the text into it.
    // False on another windowing system, without the extension, or when no other window took the
    // focus in time (nothing is typed then).
    static bool type(const QString& text, int timeoutMs = 10000);
};
