#include "gui/main/HelpKeyFilter.h"

#include "gui/main/HelpViewer.h"
#include "gui/main/WindowOpener.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return false;
    if (m_showing)
        return true; // F1 inside the guide itself
    m_showing = true;
    ++m_opened;
    QWidget* owner = static_cast<QWidget*>(watched)->window();
    HelpViewer viewer(owner);
    WindowOpener::exec(viewer);
    m_showing = false;
    return true;
}
