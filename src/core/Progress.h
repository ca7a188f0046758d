#pragma once

#include <QString>

// Progress of a long run. Engines call it; the program shows a progress bar, the command line a
// one-line bar on stderr when stderr is a terminal, tests record or ignore it.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(qint64 total, const QString& label) { (void)total, (void)label; }
    virtual void step(qint64 done, const QString& text) { (void)done, (void)text; }
    virtual void end() {}
    // Whether the user asked to stop; a run that can be undone checks it between steps.
    virtual bool cancelled() const { return false; }
};
