// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/updatemessages.h"

#include <QMessageBox>

namespace ampero {

UpdateMessages::UpdateMessages(QWidget* parent)
    : m_parent(parent)
{
}

void UpdateMessages::showInfo(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("UpdateInfoBox"));
    box.exec();
}

bool UpdateMessages::askYesNo(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setObjectName(QStringLiteral("UpdateQuestionBox"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

} // namespace ampero
