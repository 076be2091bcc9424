// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The update check's two message boxes, so the check can run without a display.
#include <QString>
#include <QStringList>

namespace ampero {

class UpdatePrompts {
public:
    virtual ~UpdatePrompts() = default;
    // A message with an information icon and one OK button.
    virtual void showInfo(const QString& caption, const QString& text) = 0;
    // A question with a question-mark icon and the buttons Yes and No; true
    // when the user chose Yes.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
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
    bool askYesNo(const QString& caption, const QString& text) override
    {
        shown.push_back({ QStringLiteral("question"), caption, text });
        return answer;
    }
    QList<Shown> shown;
    bool answer = true;
};

} // namespace ampero
