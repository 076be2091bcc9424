// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

namespace ampero {

// A power source whose values are set by hand, for tests and demos. Every
// setter that changes a value emits powerChanged(), as a real backend would.
class FakePowerSource final : public PowerSource {
    Q_OBJECT
public:
    explicit FakePowerSource(QObject* parent = nullptr)
        : PowerSource(parent)
    {
    }
    explicit FakePowerSource(const PowerStatus& initial, QObject* parent = nullptr)
        : PowerSource(parent)
        , m_status(initial)
    {
    }

    PowerStatus status() override { return m_status; }
    QString backendName() const override { return QStringLiteral("fake"); }

    void setStatus(const PowerStatus& s)
    {
        if (s == m_status)
            return;
        m_status = s;
        Q_EMIT powerChanged();
    }
    void setAcLineStatus(uint8_t v)
    {
        auto s = m_status;
        s.acLineStatus = v;
        setStatus(s);
    }
    void setLevel(uint8_t v)
    {
        auto s = m_status;
        s.batteryLifePercent = v;
        setStatus(s);
    }
    // A notification with no change of value, as after a resume.
    void notify() { Q_EMIT powerChanged(); }

private:
    PowerStatus m_status;
};

} // namespace ampero
