// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

namespace ampero {

// Whether the screen is blanked: a screen saver or a lock screen covers the
// desktop, so nothing the program draws can be seen. A window program stops
// drawing then, to spend as little as it can of the battery under test.
// A source that cannot tell simply never reports a blanked screen.
class ScreenState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ScreenState() override = default;
    // True when a service that reports the screen's state was found.
    virtual bool available() const = 0;
    bool blanked() const { return m_blanked; }

Q_SIGNALS:
    void blankedChanged(bool blanked);

protected:
    // Emits blankedChanged only on a real change.
    void setBlanked(bool blanked)
    {
        if (blanked == m_blanked)
            return;
        m_blanked = blanked;
        Q_EMIT blankedChanged(blanked);
    }

private:
    bool m_blanked = false;
};

// Blanks only when told to, for tests.
class FakeScreenState final : public ScreenState {
    Q_OBJECT
public:
    using ScreenState::ScreenState;
    bool available() const override { return true; }
    using ScreenState::setBlanked;
};

} // namespace ampero
