#pragma once

#include "core/Progress.h"

#include <memory>

class QProgressDialog;

// The program's Progress for work that no window of its own shows, such as bringing an older library
// up to date when it is opened: a progress dialog over the window that started it, shown once the
// work takes longer than a moment.
class DialogProgress : public Progress {
public:
    DialogProgress();
    ~DialogProgress() override;

    void begin(qint64 total, const QString& label) override;
    void step(qint64 done, const QString& text) override;
    void end() override;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_total = 0;
};
