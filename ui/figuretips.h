// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The explanation of each figure of a test's results, one or two sentences:
// what it measures and from what. The results window and the comparison
// table show it as the figure's tooltip.
#include "core/figuretext.h"

#include <QString>

namespace ampero {

// Empty for Figure::None.
QString figureToolTip(Figure figure);

} // namespace ampero
