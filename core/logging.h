// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLoggingCategory>

namespace ampero {

// The program's logging categories, one for each part of it. Diagnostics,
// meant for whoever looks into the program's behaviour, go through them, so
// QT_LOGGING_RULES chooses what to see: "ampero.*.debug=true" shows every
// debug message, "ampero.power.debug=true" those of the power sources alone,
// "ampero.*=false" silences them all. Debug messages are off by default,
// information and warnings on.
//
// What a terminal mode tells its user (an error, a refusal) is no diagnostic:
// it goes plainly to standard error, with no category, and no rule silences it.
Q_DECLARE_LOGGING_CATEGORY(lcPower) // ampero.power: power sources, battery identity
Q_DECLARE_LOGGING_CATEGORY(lcSystem) // ampero.system: processor, machine facts
Q_DECLARE_LOGGING_CATEGORY(lcResults) // ampero.results: results and companion files
Q_DECLARE_LOGGING_CATEGORY(lcWeb) // ampero.web: the update server
Q_DECLARE_LOGGING_CATEGORY(lcSession) // ampero.session: the test session, load workers
Q_DECLARE_LOGGING_CATEGORY(lcUi) // ampero.ui: the windows and the chart
Q_DECLARE_LOGGING_CATEGORY(lcApp) // ampero.app: start-up and the program's wiring

} // namespace ampero
