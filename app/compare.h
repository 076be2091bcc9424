// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Several results files compared in the terminal: the comparison table as
// aligned text, or a JSON array of the report's objects.
#include <QByteArray>
#include <QList>
#include <cstdio>

namespace ampero {

// Prints the table of the readable files (one column each) to out, or with
// json one array holding each file's report object. With normalize the
// levels at every 10 % of each run's own battery life follow the table (in
// JSON: "levels_by_life_share", each 5 %). Each unreadable file gets one line
// on err. Returns 0, or 2 when no file could be read. Paths are the file
// system's bytes.
int printComparison(const QList<QByteArray>& paths, bool json, bool normalize, FILE* out, FILE* err = stderr);

} // namespace ampero
