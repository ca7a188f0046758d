#pragma once

#include "core/Progress.h"

// One run reported to a progress that may be absent: begun on construction, ended however the run
// ends (returned, thrown or cancelled), so that no progress window is left standing.
class ProgressRun {
public:
    ProgressRun(Progress* progress, qint64 total, const QString& label) : m_progress(progress) {
        if (m_progress)
            m_progress->begin(total, label);
    }
    ~ProgressRun() {
        if (m_progress)
            m_progress->end();
    }
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;

    void step(qint64 done, const QString& text = QString()) const {
        if (m_progress)
            m_progress->step(done, text);
    }
    bool cancelled() const { return m_progress && m_progress->cancelled(); }

private:
    Progress* m_progress;
};
