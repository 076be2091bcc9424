// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/powersource.h"

namespace ampero {

const PowerStatus& PowerSource::refresh()
{
    update(read());
    return m_status;
}

void PowerSource::resumed()
{
    // This sleep is announced now; the backend's own look must not repeat it.
    resumedSinceLastLook();
    update(read(), Notice::Always);
}

bool PowerSource::update(const PowerStatus& s, Notice notice)
{
    const bool changed
        = s.line != m_status.line || s.level != m_status.level || s.batteries != m_status.batteries;
    m_status = s;
    if (!changed && notice == Notice::OnChange)
        return false;
    Q_EMIT powerChanged(m_status);
    return true;
}

} // namespace ampero
