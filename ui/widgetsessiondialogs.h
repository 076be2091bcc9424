// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "session/sessionports.h"

class QWidget;

namespace ampero {

// The session's windows as real widgets over the main window: StartTestDialog,
// the save-report dialog and the error report.
class WidgetSessionDialogs final : public SessionDialogs {
public:
    // parent: the main window the windows open over; not owned.
    explicit WidgetSessionDialogs(QWidget* parent);

    void confirmStart(
        const QString& modeText, const QString& loadText, std::function<void(bool)> answered) override;
    void askResultsPath(std::function<void(std::optional<QString>)> answered) override;
    void showError(const QString& message) override;
    // As the last start window that started a test left it.
    std::optional<int> brightnessPercent() const override { return m_brightness; }

private:
    QWidget* m_parent;
    std::optional<int> m_brightness;
};

} // namespace ampero
