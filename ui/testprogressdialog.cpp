// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/testprogressdialog.h"

#include "ui/modalwindow.h"
#include "ui/versioninfo.h"
#include "ui_testprogressdialog.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace ampero {

namespace {

// A Wayland compositor places windows itself and ignores move(); a window
// without a title bar could then be moved by nobody.
bool compositorPlaces()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

TestProgressDialog::TestProgressDialog(QWidget* mainWindow)
    : QDialog(mainWindow, compositorPlaces() ? Qt::Dialog : Qt::Dialog | Qt::FramelessWindowHint)
    , ui(std::make_unique<Ui::TestProgressDialog>())
    , m_mainWindow(mainWindow)
{
    registerUiResources();
    ui->setupUi(this);
    // On Wayland it is a transient child of the main window with a title bar
    // of its own, which the compositor places and the user can move.
    if (compositorPlaces())
        setWindowTitle(QCoreApplication::applicationName());
    // On X11 its title is an internal name that no title bar shows; a screen
    // reader names the window after the program, as on Wayland.
    setAccessibleName(QCoreApplication::applicationName());
    setWindowModality(Qt::ApplicationModal);
    ui->busyAnimation->load(QStringLiteral(":/busy.gif"));
    connect(ui->cancelButton, &QPushButton::clicked, this, &TestProgressDialog::cancel);
}

TestProgressDialog::~TestProgressDialog() = default;

void TestProgressDialog::openModal()
{
    if (isVisible()) // already showing: one test at a time
        return;
    ampero::openModal(*this);
}

bool TestProgressDialog::isShowing() const
{
    return isVisible();
}

void TestProgressDialog::closeWindow()
{
    done(2);
}

void TestProgressDialog::hideWindow()
{
    hide();
}

QPoint TestProgressDialog::centredPosition(const QRect& mainFrame, const QSize& ownSize)
{
    // C++ integer division truncates toward zero, as the rule asks.
    return { mainFrame.left() + (mainFrame.width() - ownSize.width()) / 2,
        mainFrame.top() + (mainFrame.height() - ownSize.height()) / 2 };
}

void TestProgressDialog::cancel()
{
    closeWindow();
}

void TestProgressDialog::reject()
{
    // Not a cancel button: Escape leaves the test running.
}

void TestProgressDialog::showEvent(QShowEvent* event)
{
    if (m_mainWindow && !compositorPlaces())
        move(centredPosition(m_mainWindow->frameGeometry(), frameGeometry().size()));
    QDialog::showEvent(event);
    Q_EMIT shown();
}

BusyAnimation* TestProgressDialog::animation() const
{
    return ui->busyAnimation;
}

} // namespace ampero
