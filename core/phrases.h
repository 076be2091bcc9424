// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own phrases all come from one string table, the context
// "ampero" of the translation file, so a translation replaces them in one place.
// The name is not tr() so that QObject::tr, which files its phrases under the
// class's own name, can never shadow it inside a class. lupdate reads it as
// tr() (-tr-function-alias tr+=phrase).
#include <QCoreApplication>
#include <QString>

namespace ampero {

inline QString phrase(const char* text, const char* comment = nullptr)
{
    return QCoreApplication::translate("ampero", text, comment);
}

} // namespace ampero
