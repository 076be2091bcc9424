// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/qthttpclient.h"
#include "support/localhttpserver.h"
#include "support/modaldriver.h"
#include "support/testutil.h"
#include "ui/updatemessages.h"
#include "web/updatecheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

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

// Notes what the message box named name shows and presses button in it.
void answerNextBox(const QString& name, SeenBox* seen, QMessageBox::StandardButton button)
{
    test::whenModal(name, [seen, button](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
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
}

TEST(UpdateMessages, InformationBoxOverTheMainWindow)
{
    QMainWindow main;
    UpdateMessages messages(&main);
    SeenBox seen;
    answerNextBox(QStringLiteral("UpdateInfoBox"), &seen, QMessageBox::Ok);
    messages.showInfo(QStringLiteral("Update"),
        QStringLiteral("You are running the latest version. No update is available."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.seen; }));
    EXPECT_EQ(seen.objectName, QStringLiteral("UpdateInfoBox"));
    EXPECT_EQ(seen.title, QStringLiteral("Update"));
    EXPECT_EQ(seen.text, QStringLiteral("You are running the latest version. No update is available."));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.parent, &main);
}

TEST(UpdateMessages, QuestionReturnsTheAnswer)
{
    UpdateMessages messages;
    for (const auto button : { QMessageBox::Yes, QMessageBox::No }) {
        SeenBox seen;
        answerNextBox(QStringLiteral("UpdateQuestionBox"), &seen, button);
        std::optional<bool> yes;
        messages.askYesNo(QStringLiteral("Update"), QStringLiteral("Question?"), [&](bool y) { yes = y; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return yes.has_value(); }));
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(*yes, button == QMessageBox::Yes);
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
    answerNextBox(QStringLiteral("UpdateQuestionBox"), &seen, QMessageBox::Yes);
    runUpdateCheck(http, messages, opener, server.url(QStringLiteral("/update/ampero.ver")),
        ProgramVersion { 1, 1, 1, 23 });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opener.opened.isEmpty(); }));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("Update"));
    EXPECT_EQ(seen.text, QStringLiteral("A new version is available: 1.2.0 build #30. Download it?"));
    EXPECT_EQ(opener.opened, QStringList { QString::fromLatin1(page) });
}

} // namespace
