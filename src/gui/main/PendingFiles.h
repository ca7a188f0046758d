#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class Prompt;
class QWidget;
class SBKModule;

// The files SBK is to open, from its own command line or handed over by a later start
// (RunningInstance): each brings SBK's window to the front, and they open over the main window
// (FileOpener) as soon as no other window of SBK is open. Opened over the styles window or in the
// middle of an import they could start a second run or leave a grid stale, so a modal window keeps
// them waiting, and a message says so.
class PendingFiles : public QObject {
    Q_OBJECT
public:
    PendingFiles(SBKModule& module, Prompt& prompt, QWidget* mainWindow);

    // Raises the window on top; files (none: only the raising) open when the main window is free.
    void add(const QStringList& files);

private:
    void openWhenFree();

    SBKModule& m_module;
    Prompt& m_prompt;
    QWidget* m_mainWindow;
    QStringList m_files;
    QTimer m_wait;
};
