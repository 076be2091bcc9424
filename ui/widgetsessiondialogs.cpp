// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgetsessiondialogs.h"

#include "ui/modalwindow.h"
#include "ui/savedialogs.h"
#include "ui/starttestdialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace ampero {

WidgetSessionDialogs::WidgetSessionDialogs(QWidget* parent)
    : m_parent(parent)
{
}

void WidgetSessionDialogs::confirmStart(
    const QString& modeText, const QString& loadText, std::function<void(bool)> answered)
{
    // A new window for every start, gone right after it closes.
    auto* window = new StartTestDialog(m_parent);
    window->setTexts(modeText, loadText);
    QObject::connect(
        window, &QDialog::finished, window, [this, window, answered = std::move(answered)](int result) {
            const bool started = result == StartTestDialog::StartResult;
            m_brightness = started ? window->brightnessPercent() : std::nullopt;
            answered(started);
        });
    openModalOnce(window);
}

void WidgetSessionDialogs::askResultsPath(std::function<void(std::optional<QString>)> answered)
{
    openSaveDialog(makeSaveReportDialog(m_parent), [answered = std::move(answered)](const QString& path) {
        answered(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
    });
}

void WidgetSessionDialogs::showError(const QString& message)
{
    auto* box = new QMessageBox(
        QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok, m_parent);
    box->setObjectName(QStringLiteral("ErrorReport"));
    openModalOnce(box);
}

} // namespace ampero
