#include "gui/main/RunProgressBar.h"

#include <algorithm>
#include <climits>
#include <QApplication>

RunProgressBar::RunProgressBar(QWidget* parent, const QString& unit) : QProgressBar(parent) {
    if (!unit.isEmpty())
        setFormat(QStringLiteral("%v of %m ") + unit);
}

void RunProgressBar::start(qint64 total) {
    setRange(0, int(std::clamp<qint64>(total, 1, INT_MAX)));
    setValue(0);
}

void RunProgressBar::advance(qint64 done) {
    setValue(int(std::clamp<qint64>(done, 0, maximum())));
}

void RunProgressBar::showCounting() {
    setRange(0, 0);
    show();
    repaint();
}

void RunProgressBar::begin(qint64 total, const QString& label) {
    (void)label;
    start(total);
    setVisible(m_shownOnBegin);
    QApplication::processEvents();
}

void RunProgressBar::step(qint64 done, const QString& text) {
    (void)text;
    advance(done);
    QApplication::processEvents();
}
