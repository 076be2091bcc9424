// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results files opened last, kept in the program's settings (QSettings,
// under the organisation and application names) from one run to the next.
#include <QObject>
#include <QString>
#include <QStringList>

namespace ampero {

class RecentResults : public QObject {
    Q_OBJECT
public:
    // At most this many files, the latest first.
    static constexpr int MaxFiles = 10;

    using QObject::QObject;

    QStringList files() const;
    // Puts path (made absolute) first; an older entry of it goes.
    void add(const QString& path);
    void remove(const QString& path);
    void clear();

Q_SIGNALS:
    void changed();

private:
    void store(const QStringList& files);
};

// The folder of the latest results file, where the file dialogs start; empty
// when there is none or that folder is gone.
QString lastResultsFolder();

} // namespace ampero
