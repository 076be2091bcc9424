// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uTestProcess.h"

#include "ui/modalwindow.h"
#include "ui/versioninfo.h"
#include "ui_uTestProcess.h"

namespace ampero {

TfTestProcess::TfTestProcess(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint)
    , ui(std::make_unique<Ui::TfTestProcess>())
    , m_mainWindow(mainWindow)
{
    installUiFontSubstitutes();
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    ui->RxGIFAnimator1->load(QStringLiteral(":/busy.gif"));
    connect(ui->Button1, &QPushButton::clicked, this, &TfTestProcess::Button1Click);
}

TfTestProcess::~TfTestProcess() = default;

void TfTestProcess::openModal()
{
    if (isVisible()) // already showing: one test at a time
        return;
    ampero::openModal(*this);
}

bool TfTestProcess::isShowing() const
{
    return isVisible();
}

void TfTestProcess::closeWindow()
{
    done(2);
}

void TfTestProcess::hideWindow()
{
    hide();
}

QPoint TfTestProcess::centredPosition(const QRect& mainFrame, const QSize& ownSize)
{
    // C++ integer division truncates toward zero, as the rule asks.
    return { mainFrame.left() + (mainFrame.width() - ownSize.width()) / 2,
        mainFrame.top() + (mainFrame.height() - ownSize.height()) / 2 };
}

void TfTestProcess::Button1Click()
{
    closeWindow();
}

void TfTestProcess::reject()
{
    // Not a cancel button: Escape leaves the test running.
}

void TfTestProcess::showEvent(QShowEvent* event)
{
    if (m_mainWindow)
        move(centredPosition(m_mainWindow->frameGeometry(), frameGeometry().size()));
    QDialog::showEvent(event);
    Q_EMIT shown();
}

BusyAnimation* TfTestProcess::animation() const
{
    return ui->RxGIFAnimator1;
}

} // namespace ampero
