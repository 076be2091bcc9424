// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ampero {

// Number of online processors, at least 1 and at most 255: it is kept in a
// byte, and a machine with 256 or more processors must not read as 0.
int countProcessors();

// The clamp alone, for a count read elsewhere.
int clampProcessorCount(long count);

} // namespace ampero
