// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recentresults.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace ampero {

namespace {
const QString Key = QStringLiteral("recentResults");
} // namespace

QStringList RecentResults::files() const
{
    QStringList files = QSettings().value(Key).toStringList();
    files.removeAll(QString());
    return files.mid(0, MaxFiles);
}

void RecentResults::add(const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList list = files();
    list.removeAll(absolute);
    list.prepend(absolute);
    store(list.mid(0, MaxFiles));
}

void RecentResults::remove(const QString& path)
{
    QStringList list = files();
    if (list.removeAll(path) > 0)
        store(list);
}

void RecentResults::clear()
{
    store({});
}

void RecentResults::store(const QStringList& files)
{
    QSettings settings;
    if (files.isEmpty())
        settings.remove(Key);
    else
        settings.setValue(Key, files);
    Q_EMIT changed();
}

QString lastResultsFolder()
{
    const QStringList files = RecentResults().files();
    if (files.isEmpty())
        return {};
    const QFileInfo folder(QFileInfo(files.first()).absolutePath());
    return folder.isDir() ? folder.absoluteFilePath() : QString();
}

} // namespace ampero
