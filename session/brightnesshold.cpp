// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/brightnesshold.h"

#include "core/logging.h"
#include "core/phrases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <cmath>

namespace ampero {

namespace {

// {"backlight":"intel_backlight","brightness":480}
std::optional<Backlight> readState(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(f.read(4096)).object();
    const QString name = o.value(QLatin1String("backlight")).toString();
    const QJsonValue value = o.value(QLatin1String("brightness"));
    // A device name in sysfs is one path element.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))
        || !value.isDouble() || value.toInteger(-1) < 0)
        return std::nullopt;
    return Backlight { name, static_cast<int>(value.toInteger()), 0 };
}

bool writeState(const QString& path, const Backlight& old, QString* why)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    const QJsonObject o { { QStringLiteral("backlight"), old.name },
        { QStringLiteral("brightness"), old.value } };
    if (f.open(QIODevice::WriteOnly) && f.write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n') > 0
        && f.commit())
        return true;
    if (why)
        *why = phrase("the brightness to put back cannot be saved in %1: %2").arg(path, f.errorString());
    return false;
}

} // namespace

int brightnessValue(int percent, int max)
{
    const auto value = static_cast<int>(std::lround(static_cast<double>(percent) * max / 100.0));
    return std::clamp(value, 1, std::max(max, 1));
}

BrightnessHold::BrightnessHold(ScreenBrightness& screen, QString stateFile)
    : m_screen(screen)
    , m_stateFile(std::move(stateFile))
{
}

BrightnessHold::~BrightnessHold()
{
    restore();
}

bool BrightnessHold::restoreLeftOver(QString* why)
{
    if (!QFileInfo::exists(m_stateFile))
        return true;
    const std::optional<Backlight> old = readState(m_stateFile);
    // A file that does not read holds nothing to put back.
    if (old && !m_screen.setBrightness(old->name, old->value, why))
        return false;
    QFile::remove(m_stateFile);
    return true;
}

bool BrightnessHold::apply(int percent, QString* why)
{
    restore();
    if (percent < 1 || percent > 100) {
        if (why)
            *why = phrase("a brightness of %1% is not between 1% and 100%").arg(percent);
        return false;
    }
    // An old value still waiting is put back first: it, not the one it left,
    // is what the user had.
    if (!restoreLeftOver(why))
        return false;
    const std::optional<Backlight> now = m_screen.backlight(why);
    if (!now)
        return false;
    if (!writeState(m_stateFile, *now, why))
        return false;
    const int value = brightnessValue(percent, now->max);
    if (!m_screen.setBrightness(now->name, value, why)) {
        QFile::remove(m_stateFile);
        return false;
    }
    m_old = *now;
    m_applied = BrightnessSetting { percent, value, now->max };
    return true;
}

void BrightnessHold::restore()
{
    if (!m_applied)
        return;
    m_applied.reset();
    QString why;
    if (m_screen.setBrightness(m_old.name, m_old.value, &why))
        QFile::remove(m_stateFile);
    else
        qCWarning(lcSession).noquote() << "the screen brightness could not be put back:" << why;
}

QString defaultBrightnessStateFile()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data + QStringLiteral("/orvex-ampero/brightness-to-restore");
}

} // namespace ampero
