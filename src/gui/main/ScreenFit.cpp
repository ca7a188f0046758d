#include "gui/main/ScreenFit.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>

namespace {

const QString ScrollAreaName = QStringLiteral("screenFitArea");

// The frame's width and height around a shown window, or an empty size.
QSize frameOf(const QWidget* window) {
    if (!window || !window->isVisible())
        return {};
    return window->frameGeometry().size() - window->geometry().size();
}

// The window's contents in a scroll area that fills it, for a screen too small for them: they
// scroll rather than run off the screen with the window's buttons. The window grows by the scroll
// bar of each way they scroll, so that they need not scroll the other way too.
void scrollContents(QWidget& window, bool across, bool down) {
    const QSize size = window.size();
    auto* contents = new QWidget;
    contents->setLayout(window.layout()); // takes the layout over, with its widgets
    auto* area = new QScrollArea(&window);
    area->setObjectName(ScrollAreaName);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(contents);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    // The old layout's minimum size goes with it.
    window.setMinimumSize(0, 0);
    layout->activate();
    window.resize(size + QSize(down ? area->verticalScrollBar()->sizeHint().width() : 0,
                               across ? area->horizontalScrollBar()->sizeHint().height() : 0));
}

} // namespace

QSize ScreenFit::room(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QSize frame = frameOf(window.window());
    if (frame.isEmpty() && window.parentWidget())
        frame = frameOf(window.parentWidget()->window());
    return screen->availableGeometry().size() - frame.expandedTo(QSize(0, 0));
}

void ScreenFit::fit(QWidget& window) {
    if (!window.testAttribute(Qt::WA_Resized))
        window.adjustSize();
    const QSize room = ScreenFit::room(window);
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
    const bool across = least.width() > room.width();
    const bool down = least.height() > room.height();
    if ((across || down) && window.layout() &&
        !window.findChild<QScrollArea*>(ScrollAreaName, Qt::FindDirectChildrenOnly))
        scrollContents(window, across, down);
    const QSize fitted = window.size().boundedTo(room);
    if (fitted != window.size())
        window.resize(fitted);
}
