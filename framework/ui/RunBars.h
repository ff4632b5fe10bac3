#pragma once

#include <QProgressBar>
#include <QString>
#include <algorithm>

namespace quillet {

// Sets a run window's two bars: the item's (hidden while no item is under way, itemPercent
// below 0) and the overall one with its percentage text. Call it last in a redraw: a bar
// given a new value redraws the window at once, and so takes the rest along.
inline void showRunBars(QProgressBar* itemBar, int itemPercent, QProgressBar* overall, int percent) {
    if (itemPercent < 0) {
        if (!itemBar->isHidden()) itemBar->setVisible(false);
    } else {
        if (itemBar->isHidden()) itemBar->setVisible(true);
        itemBar->setValue(std::min(itemPercent, 100));
    }
    if (overall->value() != percent) {
        overall->setFormat(QString::number(percent) + "%");
        overall->setValue(percent);
    }
}

}  // namespace quillet
