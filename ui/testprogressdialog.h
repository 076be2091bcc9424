// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "session/sessionports.h"

#include <QDialog>
#include <QPointer>
#include <memory>

namespace Ui {
class TestProgressDialog;
}

namespace ampero {

class BusyAnimation;

// The one testing window. Borderless on X11 (its title "fTestProcess" shows
// nowhere), with a busy animation and a Cancel button; shown modally for the whole of a test and hidden
// between tests. Each time it shows it centres itself over the main window;
// on Wayland the compositor places it, and it has a title bar to move it by.
//
// It is shown application-modal without an event loop of its own: the test
// runs on the application's loop. Escape does nothing; Cancel is the only
// way out.
class TestProgressDialog : public QDialog, public TestingWindow {
    Q_OBJECT
public:
    // mainWindow: the window to centre over (the main window); not owned.
    explicit TestProgressDialog(QWidget* mainWindow);
    ~TestProgressDialog() override;

    // TestingWindow
    void openModal() override;
    bool isShowing() const override;
    void closeWindow() override;
    void hideWindow() override;

    // The centring rule, from the outer geometry of the main window and this
    // window's outer size: half the difference, rounded toward zero.
    static QPoint centredPosition(const QRect& mainFrame, const QSize& ownSize);

    // The busy animation; it plays by itself while the window can be seen.
    BusyAnimation* animation() const;

public Q_SLOTS:
    void cancel();
    void reject() override; // Escape: ignored

Q_SIGNALS:
    void shown(); // each time the window has shown

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TestProgressDialog> ui;
    QPointer<QWidget> m_mainWindow;
};

} // namespace ampero
