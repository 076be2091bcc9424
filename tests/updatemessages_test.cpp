// SPDX-License-Identifier: GPL-3.0-or-later
#include "localhttpserver.h"
#include "platform/net/qthttpclient.h"
#include "support/testutil.h"
#include "ui/updatemessages.h"
#include "web/updatecheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace ampero;
using ampero::test::bytes;
using ampero::test::LocalHttpServer;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// What the modal box looked like when it came up.
struct SeenBox {
    bool seen = false;
    QString objectName;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
};

// Waits (from the modal box's own loop) for a message box, notes what it
// shows and presses `button` in it. Gives up after five seconds.
void answerNextBox(SeenBox* seen, QMessageBox::StandardButton button)
{
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, seen, button, started] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++*started > 500)
                poll->deleteLater();
            return;
        }
        poll->stop();
        poll->deleteLater();
        seen->seen = true;
        seen->objectName = box->objectName();
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->parent = box->parentWidget();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
    poll->start(10);
}

TEST(UpdateMessages, InformationBoxOverTheMainWindow)
{
    QMainWindow main;
    UpdateMessages messages(&main);
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::Ok);
    messages.showInfo(QStringLiteral("Update"),
        QStringLiteral("You are running latest version of program. No update available."));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.objectName, QStringLiteral("UpdateInfoBox"));
    EXPECT_EQ(seen.title, QStringLiteral("Update"));
    EXPECT_EQ(seen.text, QStringLiteral("You are running latest version of program. No update available."));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.parent, &main);
}

TEST(UpdateMessages, QuestionReturnsTheAnswer)
{
    UpdateMessages messages;
    for (const auto button : { QMessageBox::Yes, QMessageBox::No }) {
        SeenBox seen;
        answerNextBox(&seen, button);
        const bool yes = messages.askYesNo(QStringLiteral("Update"), QStringLiteral("Question?"));
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(yes, button == QMessageBox::Yes);
        EXPECT_EQ(seen.objectName, QStringLiteral("UpdateQuestionBox"));
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    }
}

TEST(UpdateMessages, WholeCheckWithRealBoxes)
{
    LocalHttpServer server;
    const QByteArray page = "http://www.orvex.example/download/";
    server.serveFile("/update/ampero.ver", bytes({ 1, 2, 0, 30, static_cast<int>(page.size()) }) + page);
    QtHttpClient http(2000);
    UpdateMessages messages;
    FakeUrlOpener opener;

    SeenBox seen;
    answerNextBox(&seen, QMessageBox::Yes);
    CheckForUpdates(http, messages, opener, server.url(QStringLiteral("/update/ampero.ver")),
        ProgramVersion { 1, 1, 1, 23 });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("Update"));
    EXPECT_EQ(seen.text, QStringLiteral("New version is available: 1.2.0 build #30. Download?"));
    EXPECT_EQ(opener.opened, QStringList { QString::fromLatin1(page) });
}

} // namespace
