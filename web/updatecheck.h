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
};

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
// opened.
void runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener, const QString& versionUrl,
    const ProgramVersion& running = runningVersion(), std::function<void()> finished = {});
// The same against the configured version file URL.
void runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener);

// Opens the help page; whatever the opener says, nothing is shown.
void openHelpPage(UrlOpener& opener);

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
    void showHelp() { openHelpPage(m_opener); }
    void checkForUpdates() { runUpdateCheck(m_http, m_prompts, m_opener); }

private:
    HttpClient& m_http;
    UpdatePrompts& m_prompts;
    UrlOpener& m_opener;
};

} // namespace ampero
