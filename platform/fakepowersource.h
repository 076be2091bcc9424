// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

namespace ampero {

// A power source whose values are set by hand, for tests and demos. A new
// value is announced as a real backend announces its readings.
class FakePowerSource final : public PowerSource {
    Q_OBJECT
public:
    explicit FakePowerSource(QObject* parent = nullptr)
        : PowerSource(parent)
    {
    }
    explicit FakePowerSource(const PowerStatus& initial, QObject* parent = nullptr)
        : PowerSource(parent)
        , m_value(initial)
    {
        update(m_value);
    }

    QString backendName() const override { return QStringLiteral("fake"); }

    void setStatus(const PowerStatus& s)
    {
        m_value = s;
        update(s);
    }
    void setLine(PowerLine v)
    {
        auto s = m_value;
        s.line = v;
        setStatus(s);
    }
    void setLevel(std::optional<int> v)
    {
        auto s = m_value;
        s.level = v;
        setStatus(s);
    }

    void setBatteries(std::optional<QStringList> names)
    {
        auto s = m_value;
        s.batteries = std::move(names);
        setStatus(s);
    }

protected:
    PowerStatus read() override { return m_value; }

private:
    PowerStatus m_value;
};

} // namespace ampero
