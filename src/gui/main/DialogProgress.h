#pragma once

#include "core/Progress.h"

#include <memory>

class QProgressDialog;

// The program's Progress for work that no window of its own shows, such as bringing an older library
// up to date when it is opened: a progress dialog over the window that started it, shown once the
// work takes longer than a moment. A cancellable one has a Cancel button, for work the engine can
// undo: cancelled() then tells the engine, from the press on until the next begin().
class DialogProgress : public Progress {
public:
    explicit DialogProgress(bool cancellable = false);
    ~DialogProgress() override;

    void begin(qint64 total, const QString& label) override;
    void step(qint64 done, const QString& text) override;
    void end() override;
    bool cancelled() const override;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_total = 0;
    bool m_cancellable = false;
    bool m_cancelled = false;
};
