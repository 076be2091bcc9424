// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The update check and the help page link of the Help menu.
#include "platform/httpclient.h"
#include "platform/urlopener.h"
#include "web/updateinfo.h"
#include "web/updateprompts.h"

#include <QString>
#include <functional>

namespace ampero {

// The probe's and the download's User-Agent headers.
inline constexpr char kProbeAgent[] = "InetURL:/1.0";
inline constexpr char kDownloadAgent[] = "Orvex Ampero";

// "https://" + the configured update host + "/update/ampero.ver", or
// "http://" + AMPERO_UPDATE_HOST (host or host:port) + the same path when
// that is set. Returns an empty text and sets *error when the override is not
// a plain host[:port].
QString versionFileUrl(QString* error = nullptr);
QString versionFileUrlFor(
    const QString& host, QString* error = nullptr, const QString& scheme = QStringLiteral("http"));

// The help page: the author's web page + "/ampero/".
QString helpPageUrl();

// url with "http://" put in front unless its lower-case form contains
// "http://" or "https://" somewhere; the case of url is kept otherwise.
QString withHttpPrefix(const QString& url);

// reachable(true) when a request for url (given the prefix above) is
// answered with the status 200 or 302. Redirects are not followed and no
// cache answers. Only http and https addresses are asked for; anything else
// is false at once.
void checkUrlReachable(HttpClient& http, const QString& url, QDeadlineTimer deadline,
    std::function<void(bool reachable)> reachable);

// The whole check, probe and download together, ends within this time.
inline constexpr int kUpdateCheckTimeLimitMs = 10000;

// What the server said, before anything is shown.
struct UpdateState {
    enum Outcome {
        Unreachable, // the probe failed: nothing is shown
        Unreadable, // the probe answered but the version file could not be downloaded
        NoUpdate, // the server's version is not newer
        Offered, // a newer version exists
    };
    Outcome outcome = Unreachable;
    UpdateInfo info;
    // The message box text: the question when offered, the "latest version"
    // text otherwise (also when unreadable: the window says what it always
    // said); empty when unreachable.
    QString text;
    // Why the probe failed, when unreachable: no answer (and why), or the
    // status the server answered with.
    HttpAnswer::Failure failure = HttpAnswer::Failure::None;
    int status = 0;
};

// "The update server could not be reached" and why, for an unreachable state.
QString unreachableText(const UpdateState& state);

// Probes versionUrl, downloads the version file's record and compares it with
// running, all within kUpdateCheckTimeLimitMs; done gets the result. A
// download that fails, or answers with other than 200, leaves the record zero
// and is Unreadable.
void queryUpdateState(HttpClient& http, const QString& versionUrl, const ProgramVersion& running,
    std::function<void(const UpdateState& state)> done);

// Check for updates: at most one message box, and the download page opened
// when the user asks for it and it is an http or https address. The check
// starts and this returns; the box opens when the server has answered, and
// its answer opens the page, so prompts and opener must outlive both.
// finished (may be empty) runs once the check is over: its box, if any, has
// opened. An unreachable server shows nothing, unless sayUnreachable (the user
// asked): then a message says why.
void runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener, const QString& versionUrl,
    const ProgramVersion& running = runningVersion(), std::function<void()> finished = {},
    bool sayUnreachable = false);
// The same against the configured version file URL; false (and nothing runs)
// when AMPERO_UPDATE_HOST is malformed.
bool runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener,
    std::function<void()> finished = {}, bool sayUnreachable = false);

// Opens the help page; returns what the opener says.
bool openHelpPage(UrlOpener& opener);

// The Help menu's "Help..." and "Check for updates..." for the main window,
// which keeps one of these and calls it from its actions. Help works whether
// or not a test could be started.
class WebActions {
public:
    WebActions(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener)
        : m_http(http)
        , m_prompts(prompts)
        , m_opener(opener)
    {
    }
    bool showHelp() { return openHelpPage(m_opener); }
    // The user's check: says when the server cannot be reached. One check at
    // a time: a call while one runs does nothing.
    void checkForUpdates()
    {
        if (m_checking)
            return;
        setChecking(true);
        if (!runUpdateCheck(
                m_http, m_prompts, m_opener, [this] { setChecking(false); }, true))
            setChecking(false);
    }
    bool checking() const { return m_checking; }
    // Runs with true as a check starts and with false once it is over (the
    // menu item is disabled in between).
    void onCheckingChanged(std::function<void(bool checking)> changed)
    {
        m_checkingChanged = std::move(changed);
    }

private:
    void setChecking(bool on)
    {
        m_checking = on;
        if (m_checkingChanged)
            m_checkingChanged(on);
    }
    HttpClient& m_http;
    UpdatePrompts& m_prompts;
    UrlOpener& m_opener;
    bool m_checking = false;
    std::function<void(bool)> m_checkingChanged;
};

} // namespace ampero
