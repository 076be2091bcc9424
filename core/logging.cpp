// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/logging.h"

namespace ampero {

Q_LOGGING_CATEGORY(lcPower, "ampero.power", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSystem, "ampero.system", QtInfoMsg)
Q_LOGGING_CATEGORY(lcResults, "ampero.results", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWeb, "ampero.web", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "ampero.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "ampero.ui", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "ampero.app", QtInfoMsg)

} // namespace ampero
