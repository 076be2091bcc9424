// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The screen brightness a test fixes for its length, and putting the old one
// back at its end. The old value is first written to a small state file, so
// that a program that ends without putting it back (a crash, a kill) has it
// put back at its next start.
#include "platform/screenbrightness.h"

#include <QString>
#include <optional>

namespace ampero {

// The raw value of percent on a device of max steps: rounded, and at least 1,
// since 0 turns some panels off.
int brightnessValue(int percent, int max);

class BrightnessHold {
public:
    // screen must outlive this object. stateFile is where the old value
    // waits while a test holds another.
    BrightnessHold(ScreenBrightness& screen, QString stateFile);
    ~BrightnessHold();
    BrightnessHold(const BrightnessHold&) = delete;
    BrightnessHold& operator=(const BrightnessHold&) = delete;

    // Puts back a brightness the state file still holds from a program that
    // did not, and removes the file. True when there was none or it was put
    // back; false, with *why, when it stays for the next try.
    bool restoreLeftOver(QString* why = nullptr);
    // Sets the brightness to percent (1 to 100) of the backlight's range,
    // after saving the old value. False, with *why and nothing changed, when
    // it cannot be set or the old value cannot be saved.
    bool apply(int percent, QString* why);
    // Puts the old brightness back and removes the state file; does nothing
    // when nothing was applied. When the old value cannot be set the file
    // stays, and the next start puts it back.
    void restore();

    std::optional<BrightnessSetting> applied() const { return m_applied; }
    QString stateFile() const { return m_stateFile; }

private:
    ScreenBrightness& m_screen;
    QString m_stateFile;
    std::optional<BrightnessSetting> m_applied;
    Backlight m_old;
};

// $XDG_DATA_HOME/orvex-ampero/brightness-to-restore.
QString defaultBrightnessStateFile();

} // namespace ampero
