#pragma once

#include "core/Progress.h"

#include <QProgressBar>

// The progress bar of a window that runs long work (SSF export and import, backup and restore, STY
// import): it counts the items of a run, and as an engine's Progress it lets the window paint after
// each item.
class RunProgressBar : public QProgressBar, public Progress {
public:
    // unit: what the run counts, shown as "3 of 12 files"; without one the bar shows a percentage.
    explicit RunProgressBar(QWidget* parent, const QString& unit = QString());

    // A run of total items starts: nothing done yet, and an empty run shows an empty bar.
    void start(qint64 total);
    void advance(qint64 done);
    // While the items are still being counted: a busy bar without a count.
    void showCounting();
    // Whether begin shows the bar (a run whose count says nothing leaves it hidden); it does unless
    // told otherwise.
    void setShownOnBegin(bool shown) { m_shownOnBegin = shown; }

    void begin(qint64 total, const QString& label) override;
    void step(qint64 done, const QString& text) override;

private:
    bool m_shownOnBegin = true;
};
