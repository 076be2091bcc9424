// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/updatemessages.h"

#include "ui/modalwindow.h"

#include <QMessageBox>

namespace ampero {

UpdateMessages::UpdateMessages(QWidget* parent)
    : m_parent(parent)
{
}

void UpdateMessages::showInfo(const QString& caption, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, m_parent);
    box->setObjectName(QStringLiteral("UpdateInfoBox"));
    openModalOnce(box);
}

void UpdateMessages::askYesNo(const QString& caption, const QString& text, std::function<void(bool)> answered)
{
    auto* box
        = new QMessageBox(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    box->setObjectName(QStringLiteral("UpdateQuestionBox"));
    box->setDefaultButton(QMessageBox::Yes);
    QObject::connect(box, &QDialog::finished, box,
        [answered = std::move(answered)](int result) { answered(result == QMessageBox::Yes); });
    openModalOnce(box);
}

} // namespace ampero
