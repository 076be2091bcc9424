// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "web/updateprompts.h"

#include <QPointer>
#include <QWidget>

namespace ampero {

// The update check's message boxes as modal QMessageBoxes over parent,
// opened without a modal loop of their own.
class UpdateMessages final : public UpdatePrompts {
public:
    explicit UpdateMessages(QWidget* parent = nullptr);

    void showInfo(const QString& caption, const QString& text) override;
    void askYesNo(const QString& caption, const QString& text, std::function<void(bool)> answered) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace ampero
