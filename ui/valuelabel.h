// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QLabel;

namespace ampero {

// Sets the text of a label that shows a figure changing as the program runs
// ("0:01:23", "87%", "12.5 W"), without asking its window to lay itself out
// again. A label whose size follows its text makes every text change re-run
// the layouts of all the groups around it, once a second during a test, even
// while nothing is drawn. Such a label gets a fixed size instead: as wide as
// its text with every digit as wide as the font's widest digit, so that a
// ticking figure keeps its width, and never narrower than before. Only a
// text that needs more room (a tenth hour, a longer word) lays the window out
// again, once. A font or style change lets the label follow its text again
// until its next figure. For plain one-line labels without a frame.
void setValueText(QLabel* label, const QString& text);

} // namespace ampero
