#include "gui/main/WindowOpener.h"

#include "gui/main/ScreenFit.h"

#include <QDialog>

WindowOpener::Hook& WindowOpener::current() {
    static Hook hook;
    return hook;
}

int WindowOpener::exec(QDialog& window) {
    ScreenFit::fit(window);
    if (current())
        return current()(window);
    return window.exec();
}

WindowOpener::ScopedHook::ScopedHook(Hook hook) : m_previous(std::move(current())) {
    current() = std::move(hook);
}

WindowOpener::ScopedHook::~ScopedHook() {
    current() = std::move(m_previous);
}
