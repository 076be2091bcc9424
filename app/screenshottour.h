// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace ampero {

class MainWindow;
class TestProgressDialog;

// With AMPERO_SCREENSHOT_DIR set, the program photographs each of its
// windows into that folder (main.png, starttest.png, testing.png, about.png)
// (and main-testing.png, the testing window over the main window as on the
// screen) and quits: the pictures show what a user would see on this desktop.
void runScreenshotTour(MainWindow& main, TestProgressDialog& testing, const QString& dir);

// For the tour's other looks: AMPERO_SCREENSHOT_FONT_PT sets the font size,
// AMPERO_SCREENSHOT_DARK=1 the Fusion style with a dark palette.
void applyScreenshotLook();

} // namespace ampero
