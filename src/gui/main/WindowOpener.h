#pragma once

#include <functional>

class QDialog;

// Every modal window of the program is shown through WindowOpener::exec. The program runs the
// window's own event loop; a test installs a hook (ScopedHook) that receives each window as it
// would open, may check its class and fields or click its buttons, and returns the result the
// window would have ended with. So a test drives the opener without waiting on a real modal loop.
class WindowOpener {
public:
    using Hook = std::function<int(QDialog&)>;

    // Shows the window modally (or hands it to the installed hook) and returns its result; either
    // way the window is first fitted to its screen (ScreenFit).
    static int exec(QDialog& window);

    // Installs a hook for its lifetime; hooks nest, the innermost one answers.
    class ScopedHook {
    public:
        explicit ScopedHook(Hook hook);
        ~ScopedHook();
        ScopedHook(const ScopedHook&) = delete;
        ScopedHook& operator=(const ScopedHook&) = delete;

    private:
        Hook m_previous;
    };

private:
    static Hook& current();
};
