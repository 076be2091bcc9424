// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own phrases all come from one string table, the context
// "ampero" of the translation file, so a translation replaces them in one place.
#include <QCoreApplication>
#include <QString>

namespace ampero {

inline QString tr(const char* text, const char* comment = nullptr)
{
    return QCoreApplication::translate("ampero", text, comment);
}

} // namespace ampero
