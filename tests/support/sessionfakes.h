// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fakes of the windows and of the CPU load for the session tests; the
// chart's is in fakechart.h.
#include "session/loadworkers.h"
#include "session/sessionports.h"
#include "tests/support/fakechart.h"

#include <QStringList>
#include <functional>
#include <ostream>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace ampero::test {

struct FakeMainView final : MainView {
    void setTimerText(const QString& t) override { timer = t; }
    void setLevelText(const QString& t) override { level = t; }
    void setActionText(const QString& t) override
    {
        action = t;
        actions << t;
    }
    void setModeText(const QString& t) override { mode = t; }
    void setCpuSpeedText(const QString& t) override { cpuSpeed = t; }
    void setTestsEnabled(bool e) override
    {
        testsEnabled = e;
        ++enableCalls;
    }
    bool noLoadChecked() const override { return noLoad; }
    void setNoLoadChecked(bool c) override { noLoad = c; }

    QString timer = QStringLiteral("0:00:00"), level = QStringLiteral("0%"), action = QStringLiteral("idle"),
            mode = QStringLiteral("BettaryModeLabel"), cpuSpeed;
    QStringList actions;
    bool testsEnabled = true;
    int enableCalls = 0;
    bool noLoad = true;
};

// Answers at once, as the user would.
struct FakeDialogs final : SessionDialogs {
    void confirmStart(const QString& m, const QString& l, std::function<void(bool)> answered) override
    {
        modeText = m;
        loadText = l;
        ++confirms;
        answered(confirm);
    }
    void askResultsPath(std::function<void(std::optional<QString>)> answered) override
    {
        if (whileAsking)
            whileAsking();
        answered(path);
    }
    void showError(const QString& message) override { errors << message; }
    std::optional<int> brightnessPercent() const override { return brightness; }

    bool confirm = true;
    std::optional<int> brightness; // the start window's screen brightness
    std::optional<QString> path;
    std::function<void()> whileAsking; // what happens while the save dialog is open
    QString modeText, loadText;
    int confirms = 0;
    QStringList errors;
};

// openModal() leaves the window showing; the test then ticks by hand.
struct FakeTestingWindow final : TestingWindow {
    void openModal() override
    {
        showing = true;
        ++opened;
    }
    bool isShowing() const override { return showing; }
    void closeWindow() override
    {
        showing = false;
        ++closed;
    }
    void hideWindow() override { showing = false; }

    bool showing = false;
    int opened = 0;
    int closed = 0;
};

struct FakeLoad final : LoadWorkers {
    bool start() override
    {
        ++starts;
        running = startSucceeds;
        return startSucceeds;
    }
    uint64_t stop() override
    {
        ++stops;
        running = false;
        return total;
    }
    bool startSucceeds = true;
    bool running = false;
    uint64_t total = 0;
    int starts = 0;
    int stops = 0;
};

} // namespace ampero::test
