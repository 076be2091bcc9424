// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Modal windows without a modal event loop of their own.
#include <QDialog>

namespace ampero {

// Shows dialog application-modal, as exec() would, and returns at once: the
// answer comes through its finished() signal, on the application's event
// loop. (QDialog::open() would block only the parent window; the program's
// windows have always blocked the whole program.)
inline void openModal(QDialog& dialog)
{
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setResult(0);
    dialog.show();
}

// The same for a window made for this one showing: it deletes itself once
// its finished() listeners have run.
inline void openModalOnce(QDialog* dialog)
{
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    openModal(*dialog);
}

} // namespace ampero
