#include "app/XTestTyper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

// The X headers define macros (None, Bool, KeyPress ...) that Qt's names would meet: they come last.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// Waits while the events of the program's own windows go on being handled.
void pause(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

KeySym keysymOf(char32_t c) {
    // Latin-1 characters are their own key symbols; the others are of the Unicode range.
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return KeySym(c);
    return KeySym(0x01000000 | c);
}

// A key code the keyboard map leaves empty, to lend to a character no key gives; 0 when none is.
KeyCode spareKeyCode(Display* display) {
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, KeyCode(first), last - first + 1, &perCode);
    if (!map)
        return 0;
    KeyCode spare = 0;
    for (int code = last; code >= first && spare == 0; --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i)
            empty = empty && map[(code - first) * perCode + i] == NoSymbol;
        if (empty)
            spare = KeyCode(code);
    }
    XFree(map);
    return spare;
}

bool typeCharacter(Display* display, KeySym symbol, KeyCode spare) {
    KeyCode code = XKeysymToKeycode(display, symbol);
    bool shift = false;
    if (code != 0) {
        if (XkbKeycodeToKeysym(display, code, 0, 1) == symbol &&
            XkbKeycodeToKeysym(display, code, 0, 0) != symbol)
            shift = true;
        else if (XkbKeycodeToKeysym(display, code, 0, 0) != symbol)
            code = 0; // on a level Shift does not reach
    }
    const bool lent = code == 0;
    if (lent) {
        if (spare == 0)
            return false;
        KeySym symbols[2] = {symbol, symbol};
        XChangeKeyboardMapping(display, spare, 2, symbols, 1);
        XSync(display, False);
        code = spare;
    }
    const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    if (shift)
        XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    XSync(display, False);
    if (lent) {
        // The receiver reads the key with the lent symbol before the code is given back.
        QThread::msleep(30);
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display, spare, 2, none, 1);
        XSync(display, False);
    }
    return true;
}

} // namespace

bool XTestTyper::type(const QString& text, int timeoutMs) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    struct Closer {
        Display* display;
        ~Closer() { XCloseDisplay(display); }
    } closer{display};
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        return false;

    // The started program's window takes the focus when it shows.
    Window before = 0;
    int revert = 0;
    XGetInputFocus(display, &before, &revert);
    Window now = before;
    QElapsedTimer timer;
    timer.start();
    while (now == before || now == None || now == PointerRoot) {
        if (timer.elapsed() > timeoutMs)
            return false;
        pause(50);
        XGetInputFocus(display, &now, &revert);
    }
    // A window that has just taken the focus may not read keys yet.
    pause(500);

    const KeyCode spare = spareKeyCode(display);
    for (const char32_t c : text.toUcs4())
        if (!typeCharacter(display, keysymOf(c), spare))
            return false;
    return true;
}
