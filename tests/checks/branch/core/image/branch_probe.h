#pragma once
// A shared file of the core with a branch on the platform: the check must refuse it. The
// branch with the toolkit's reason beside it is let stand.
#include "core/messages/log_model.h"

#ifdef _WIN32
inline constexpr int kProbe = 1;
#else
inline constexpr int kProbe = 2;
#endif

#ifdef Q_OS_WIN  // Qt differs: a probe of the reason's form
#endif
