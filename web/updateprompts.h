// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The update check's two message boxes, so the check can run without a display.
#include <QString>
#include <QStringList>
#include <functional>

namespace ampero {

class UpdatePrompts {
public:
    virtual ~UpdatePrompts() = default;
    // A message with an information icon and one OK button; opens it and
    // returns.
    virtual void showInfo(const QString& caption, const QString& text) = 0;
    // A question with a question-mark icon and the buttons Yes and No; opens
    // it and returns. answered(true) once the user chose Yes, (false) for No.
    virtual void askYesNo(const QString& caption, const QString& text, std::function<void(bool yes)> answered)
        = 0;
};

// Passes the message boxes on to `shown`, except while held (a test runs):
// then the newest waits and opens once the hold ends, so no question opens
// over the testing window.
class HeldUpdatePrompts final : public UpdatePrompts {
public:
    explicit HeldUpdatePrompts(UpdatePrompts& shown)
        : m_shown(shown)
    {
    }
    void setHeld(bool held)
    {
        m_held = held;
        if (held || !m_waiting)
            return;
        const std::function<void()> show = std::move(m_waiting);
        m_waiting = nullptr;
        show();
    }
    void showInfo(const QString& caption, const QString& text) override
    {
        pass([this, caption, text] { m_shown.showInfo(caption, text); });
    }
    void askYesNo(const QString& caption, const QString& text, std::function<void(bool)> answered) override
    {
        pass([this, caption, text, answered = std::move(answered)] {
            m_shown.askYesNo(caption, text, answered);
        });
    }

private:
    void pass(std::function<void()> show)
    {
        if (m_held)
            m_waiting = std::move(show);
        else
            show();
    }
    UpdatePrompts& m_shown;
    bool m_held = false;
    std::function<void()> m_waiting;
};

// Records every message box and answers questions with `answer`, for tests.
class FakeUpdatePrompts final : public UpdatePrompts {
public:
    struct Shown {
        QString kind; // "info" or "question"
        QString caption;
        QString text;
    };
    void showInfo(const QString& caption, const QString& text) override
    {
        shown.push_back({ QStringLiteral("info"), caption, text });
    }
    void askYesNo(const QString& caption, const QString& text, std::function<void(bool)> answered) override
    {
        shown.push_back({ QStringLiteral("question"), caption, text });
        answered(answer);
    }
    QList<Shown> shown;
    bool answer = true;
};

} // namespace ampero
