// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgetsessiondialogs.h"

#include "ui/savedialogs.h"
#include "ui/uStartTest.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <memory>

namespace ampero {

WidgetSessionDialogs::WidgetSessionDialogs(QWidget* parent)
    : m_parent(parent)
{
}

bool WidgetSessionDialogs::confirmStart(const QString& modeText, const QString& loadText)
{
    // A new window for every start, gone right after it closes.
    auto window = std::make_unique<TfStartTest>(m_parent);
    window->setTexts(modeText, loadText);
    return window->exec() == TfStartTest::StartResult;
}

std::optional<QString> WidgetSessionDialogs::askResultsPath()
{
    std::unique_ptr<QFileDialog> dialog(makeSaveDialog1(m_parent));
    const QString path = runSaveDialog(dialog.get());
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

void WidgetSessionDialogs::showError(const QString& message)
{
    QMessageBox box(
        QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.exec();
}

} // namespace ampero
