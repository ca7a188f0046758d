#include "gui/main/PendingFiles.h"

#include "core/Prompt.h"
#include "gui/main/FileOpener.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <utility>

PendingFiles::PendingFiles(SBKModule& module, Prompt& prompt, QWidget* mainWindow)
    : m_module(module), m_prompt(prompt), m_mainWindow(mainWindow) {
    m_wait.setInterval(250);
    connect(&m_wait, &QTimer::timeout, this, &PendingFiles::openWhenFree);
}

void PendingFiles::add(const QStringList& files) {
    QWidget* top = QApplication::activeModalWidget();
    QWidget* shown = top ? top : m_mainWindow;
    if (shown->isMinimized())
        shown->showNormal();
    shown->raise();
    shown->activateWindow();
    if (files.isEmpty())
        return;
    m_files << files;
    if (!top) {
        m_wait.start(0);
        return;
    }
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    m_prompt.message(QStringLiteral("SBK opens %1 when the window \"%2\" is closed.")
                         .arg(names.join(QStringLiteral(", ")), top->windowTitle()),
                     Prompt::Title, Prompt::Icon::Information);
    m_wait.start(250);
}

void PendingFiles::openWhenFree() {
    if (QApplication::activeModalWidget())
        return;
    m_wait.stop();
    const QStringList files = std::exchange(m_files, {});
    FileOpener::open(m_module, m_prompt, files, m_mainWindow);
}
