// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class StartTestDialog;
}

namespace ampero {

// The start-test window: shows the chosen test mode and CPU load and asks the
// user to confirm. It finishes with StartResult (1) for "Start test" and
// CancelResult (2) for Cancel, Escape or the close box. Cancel has the focus
// when the window opens, so Enter right away cancels.
class StartTestDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int StartResult = 1;
    static constexpr int CancelResult = 2;

    explicit StartTestDialog(QWidget* parent = nullptr);
    ~StartTestDialog() override;

    void setTexts(const QString& modeText, const QString& loadText);
    // The screen brightness the test is to hold, in percent; none when "Set
    // screen brightness" is not checked.
    std::optional<int> brightnessPercent() const;

public Q_SLOTS:
    void reject() override; // Escape and the close box: CancelResult

private:
    std::unique_ptr<Ui::StartTestDialog> ui;
};

} // namespace ampero
