// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/updatecheck.h"

#include "core/phrases.h"
#include "core/sitesettings.h"

#include <QCoreApplication>
#include <QUrl>

namespace ampero {

namespace {

const QString kVersionFilePath = QStringLiteral("/update/ampero.ver");

} // namespace

QString versionFileUrlFor(const QString& host, QString* error, const QString& scheme)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return QString();
    };
    if (host.isEmpty())
        return fail(QStringLiteral("the update host is empty"));
    // Only a host name or address with an optional port: nothing that could
    // change the path, add credentials or hide in blanks.
    for (const QChar c : host) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || QStringLiteral("/\\@?#%").contains(c))
            return fail(QStringLiteral("the update host \"%1\" is not a host or host:port").arg(host));
    }
    QString text = scheme + QStringLiteral("://") + host + kVersionFilePath;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.path() != kVersionFilePath)
        return fail(QStringLiteral("the update host \"%1\" is not a host or host:port").arg(host));
    return text;
}

QString versionFileUrl(QString* error)
{
    const QString overridden = qEnvironmentVariable("AMPERO_UPDATE_HOST");
    if (qEnvironmentVariableIsSet("AMPERO_UPDATE_HOST"))
        return versionFileUrlFor(overridden, error);
    return versionFileUrlFor(site::updateHost(), error, QStringLiteral("https"));
}

QString helpPageUrl()
{
    return site::authorPage() + QStringLiteral("/ampero/");
}

QString withHttpPrefix(const QString& url)
{
    const QString lower = url.toLower();
    if (lower.contains(QStringLiteral("http://")) || lower.contains(QStringLiteral("https://")))
        return url;
    return QStringLiteral("http://") + url;
}

namespace {

bool isReachable(const HttpAnswer& a)
{
    return a.answered && (a.status == 200 || a.status == 302);
}

// The probe of checkUrlReachable, with the whole answer.
void probeUrl(HttpClient& http, const QString& url, QDeadlineTimer deadline, HttpDone done)
{
    const QUrl target(withHttpPrefix(url));
    // Only web servers: an address that merely mentions "http://" somewhere
    // (file:///x?http://) must not make the client read a local file.
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || target.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        HttpAnswer none;
        none.failure = HttpAnswer::Failure::HostNotFound;
        done(none);
        return;
    }
    http.probe(target, QByteArray(kProbeAgent), deadline, std::move(done));
}

} // namespace

void checkUrlReachable(
    HttpClient& http, const QString& url, QDeadlineTimer deadline, std::function<void(bool)> reachable)
{
    probeUrl(http, url, deadline,
        [reachable = std::move(reachable)](const HttpAnswer& a) { reachable(isReachable(a)); });
}

QString unreachableText(const UpdateState& state)
{
    QString why;
    if (state.status != 0) {
        why = phrase("the server answered with HTTP status %1").arg(state.status);
    } else {
        switch (state.failure) {
        case HttpAnswer::Failure::TimedOut:
            why = phrase("no answer in time");
            break;
        case HttpAnswer::Failure::Refused:
            why = phrase("the connection was refused");
            break;
        case HttpAnswer::Failure::HostNotFound:
            why = phrase("the server was not found");
            break;
        case HttpAnswer::Failure::None:
        case HttpAnswer::Failure::Other:
            why = phrase("a network error");
            break;
        }
    }
    return phrase("The update server could not be reached: %1.").arg(why);
}

void queryUpdateState(HttpClient& http, const QString& versionUrl, const ProgramVersion& running,
    std::function<void(const UpdateState&)> done)
{
    const QDeadlineTimer deadline(kUpdateCheckTimeLimitMs, Qt::PreciseTimer);
    probeUrl(http, versionUrl, deadline,
        [&http, versionUrl, running, deadline, done = std::move(done)](const HttpAnswer& probe) {
            if (!isReachable(probe)) {
                UpdateState unreachable;
                unreachable.failure = probe.failure;
                unreachable.status = probe.answered ? probe.status : 0;
                done(unreachable);
                return;
            }
            http.get(QUrl(withHttpPrefix(versionUrl)), QByteArray(kDownloadAgent), kUpdateInfoSize, deadline,
                [running, done](const HttpAnswer& answer) {
                    UpdateState state;
                    // An error page is no version file: only a 200 answer fills the record.
                    const bool downloaded = answer.answered && answer.status == 200;
                    state.info = parseUpdateInfo(downloaded ? answer.body : QByteArray());
                    if (!downloaded) {
                        state.outcome = UpdateState::Unreadable;
                        state.text = noUpdateText();
                    } else if (isNewerVersion(state.info, running)) {
                        state.outcome = UpdateState::Offered;
                        state.text = updateQuestionText(state.info);
                    } else {
                        state.outcome = UpdateState::NoUpdate;
                        state.text = noUpdateText();
                    }
                    done(state);
                });
        });
}

void runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener, const QString& versionUrl,
    const ProgramVersion& running, std::function<void()> finished, bool sayUnreachable)
{
    queryUpdateState(http, versionUrl, running,
        [&prompts, &opener, finished = std::move(finished), sayUnreachable](const UpdateState& state) {
            switch (state.outcome) {
            case UpdateState::Unreachable:
                if (sayUnreachable)
                    prompts.showInfo(updateCaption(), unreachableText(state));
                break;
            case UpdateState::Unreadable: // the window's text for a failed download
            case UpdateState::NoUpdate:
                prompts.showInfo(updateCaption(), state.text);
                break;
            case UpdateState::Offered:
                // Only a web address is handed to the desktop; anything else
                // the server sent is dropped without a word.
                prompts.askYesNo(
                    updateCaption(), state.text, [&opener, url = state.info.downloadUrl](bool yes) {
                        if (yes && isOpenableDownloadUrl(url))
                            opener.openUrl(QUrl(url, QUrl::StrictMode));
                    });
                break;
            }
            if (finished)
                finished();
        });
}

bool runUpdateCheck(HttpClient& http, UpdatePrompts& prompts, UrlOpener& opener,
    std::function<void()> finished, bool sayUnreachable)
{
    const QString url = versionFileUrl();
    // A malformed AMPERO_UPDATE_HOST reaches no server: nothing is shown.
    if (url.isEmpty())
        return false;
    runUpdateCheck(http, prompts, opener, url, runningVersion(), std::move(finished), sayUnreachable);
    return true;
}

bool openHelpPage(UrlOpener& opener)
{
    return opener.openUrl(QUrl(helpPageUrl(), QUrl::StrictMode));
}

} // namespace ampero
