// SPDX-License-Identifier: GPL-3.0-or-later
// The History window over a store with two runs a month apart.
#include "results/historystore.h"
#include "results/historyview.h"
#include "ui/chartwidget.h"
#include "ui/historywindow.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

TEST(HistoryWindow, TwoRunsAMonthApartAreTwoRowsAndTwoPointsOfHealth)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.sqlite"));
    {
        QString error;
        auto store = HistoryStore::openLocal(file, &error);
        ASSERT_TRUE(store) << error.toStdString();
        const auto run = [&](const char* hash, const QDate& day, double health) {
            const QByteArray report = QByteArray(R"({"mode": "fast", "load": "full", "workload": null, )")
                + R"("battery_life_seconds": 18000, "mark": 1234, "battery_health_percent": )"
                + QByteArray::number(health) + "}";
            store->addRun(
                { QString::fromLatin1(hash), QStringLiteral("m1"), QDateTime(day, QTime(12, 0), Qt::UTC),
                    QStringLiteral("fast"), report, dir.filePath(QString::fromLatin1(hash) + ".apr") });
        };
        run("january", QDate(2026, 1, 10), 97);
        run("february", QDate(2026, 2, 10), 95);
    }
    QString error;
    HistoryWindow window;
    window.setHistory(readHistoryView(file, QString(), &error));
    EXPECT_TRUE(error.isEmpty());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    auto* table = window.findChild<QTableWidget*>(QStringLiteral("runsTable"));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 7)->text(), QStringLiteral("95%")); // newest first
    EXPECT_EQ(table->item(1, 7)->text(), QStringLiteral("97%"));
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("5:00:00"));

    const QList<QPointF> health = window.chart()->series(ChartSeriesRole::Levels)->points();
    ASSERT_EQ(health.size(), 2);
    EXPECT_DOUBLE_EQ(health[1].x() - health[0].x(), 31.0);
    EXPECT_EQ(health[0].y(), 97);
    EXPECT_EQ(health[1].y(), 95);
    EXPECT_EQ(window.chart()->bottomAxisTitle(), QStringLiteral("Date"));
    EXPECT_FALSE(window.chart()->bottomLabels().isEmpty());

    QSignalSpy open(&window, &HistoryWindow::openRunRequested);
    QSignalSpy compare(&window, &HistoryWindow::compareRequested);
    emit table->cellDoubleClicked(1, 0);
    ASSERT_EQ(open.count(), 1);
    EXPECT_EQ(open[0][0].toString(), dir.filePath(QStringLiteral("january.apr")));
    table->selectAll();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("compareButton")), Qt::LeftButton);
    ASSERT_EQ(compare.count(), 1);
    EXPECT_EQ(compare[0][0].toStringList().size(), 2);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}
