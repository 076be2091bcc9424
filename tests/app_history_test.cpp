// SPDX-License-Identifier: GPL-3.0-or-later
// The history's terminal modes through the built program.
#include "support/testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

const QByteArray kResults = test::exampleResults();
using Exit = test::ProgramExit;

class HistoryCli : public ::testing::Test {
protected:
    Exit run(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.remove(QStringLiteral("AMPERO_DATABASE"));
        return test::runAmpero(args, env);
    }
    // A results file that ended at the given time; the last byte tells the
    // runs apart.
    void results(const QString& name, const QDateTime& ended, char tag)
    {
        QByteArray bytes = kResults;
        bytes[bytes.size() - 1] = tag;
        QFile f(test::writeFile(runs, name, bytes));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(ended, QFileDevice::FileModificationTime));
    }
    QTemporaryDir data, runs;
};

} // namespace

TEST_F(HistoryCli, ImportTwiceAddsOnceAndRunsAMonthApartShowAsTwoRows)
{
    AMPERO_REQUIRE_PROGRAM();
    results(QStringLiteral("january.apr"), QDateTime(QDate(2026, 1, 10), QTime(12, 0), Qt::UTC), 0);
    ASSERT_TRUE(QDir(runs.path()).mkdir(QStringLiteral("later")));
    results(QStringLiteral("later/february.apr"), QDateTime(QDate(2026, 2, 10), QTime(12, 0), Qt::UTC), 1);

    const Exit first = run({ QStringLiteral("--import"), runs.path() });
    EXPECT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, "2 added, 0 already in the history, 0 not added\n");
    const Exit second = run({ QStringLiteral("--import"), runs.path() });
    EXPECT_EQ(second.out, "0 added, 2 already in the history, 0 not added\n");

    const Exit history = run({ QStringLiteral("--history"), QStringLiteral("--json") });
    ASSERT_EQ(history.code, 0) << history.err.toStdString();
    const QJsonArray rows
        = QJsonDocument::fromJson(history.out).object().value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(rows.size(), 2) << history.out.toStdString();
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("finished_at")), "2026-01-10T12:00:00Z");
    EXPECT_EQ(rows[1].toObject().value(QStringLiteral("finished_at")), "2026-02-10T12:00:00Z");
    EXPECT_EQ(rows[1].toObject().value(QStringLiteral("report")).toObject().value(QStringLiteral("mode")),
        "normal");

    const Exit since = run({ QStringLiteral("--history"), QStringLiteral("--json"), QStringLiteral("--since"),
        QStringLiteral("2026-02-01") });
    EXPECT_EQ(QJsonDocument::fromJson(since.out).object().value(QStringLiteral("runs")).toArray().size(), 1);
    EXPECT_EQ(
        run({ QStringLiteral("--history"), QStringLiteral("--since"), QStringLiteral("February") }).code, 2);
}
