// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace ampero {

// A screen's backlight as the kernel shows it under
// /sys/class/backlight/NAME: its brightness in the device's own raw steps,
// 0 (darkest, on some panels off) to max.
struct Backlight {
    QString name; // the device's name in sysfs, e.g. "intel_backlight"
    int value = 0; // the brightness last set
    int max = 0; // greater than 0
};

// The brightness a test set: the share asked for, the raw value it gave and
// the device's maximum.
struct BrightnessSetting {
    int percent = 0; // 1 to 100
    int value = 0; // raw, 1 to max
    int max = 0;
    bool operator==(const BrightnessSetting&) const = default;
};

// The screen brightness of the user's session.
//
// backlight() reads the device a test would set; setBrightness() sets a
// raw value on a device through the session (no root needed). Where the
// session cannot set it (no backlight, no session or no seat, as over SSH,
// or the service refuses) the answer is false or none, with the reason in
// *why. Everything runs on the main thread and returns at once or after at
// most a short timeout.
class ScreenBrightness {
public:
    virtual ~ScreenBrightness() = default;
    virtual std::optional<Backlight> backlight(QString* why) const = 0;
    virtual bool setBrightness(const QString& name, int value, QString* why) = 0;
};

// The backlight under root (normally "/"), from
// sys/class/backlight/*/{brightness,max_brightness,actual_brightness,type}.
// With several, the one a desktop would use: a firmware interface first,
// then a platform one, then a raw one, by name within each kind. The value
// is the brightness last set, or the actual one where that cannot be read.
std::optional<Backlight> readBacklight(const QString& root, QString* why);

// Answers from its fields and records what was set, for tests. refusal, when
// not empty, is the reason every set fails with.
class FakeScreenBrightness final : public ScreenBrightness {
public:
    std::optional<Backlight> device = Backlight { QStringLiteral("fake_backlight"), 60, 100 };
    QString refusal;
    QList<int> sets; // each value set, in order

    std::optional<Backlight> backlight(QString* why) const override
    {
        if (!device && why)
            *why = QStringLiteral("no backlight device");
        return device;
    }
    bool setBrightness(const QString& name, int value, QString* why) override
    {
        if (!refusal.isEmpty() || !device || name != device->name) {
            if (why)
                *why = refusal.isEmpty() ? QStringLiteral("no such backlight device") : refusal;
            return false;
        }
        device->value = value;
        sets << value;
        return true;
    }
};

} // namespace ampero
