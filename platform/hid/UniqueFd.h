#pragma once

// Moved to platform/posix; kept until the desktop layer includes it there.
#include "platform/posix/UniqueFd.h"
