// SPDX-License-Identifier: GPL-3.0-or-later
#include "testutil.h"

#include <QFile>

namespace ampero::test {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v & 0xFF));
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString amperoBinary()
{
    const QString fromEnv = qEnvironmentVariable("AMPERO_BINARY");
    return fromEnv.isEmpty() ? QStringLiteral(AMPERO_BINARY_DIR "/ampero") : fromEnv;
}

} // namespace ampero::test
