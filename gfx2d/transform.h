// transform.h: (not built yet)
#pragma once

#include "../runtime/skarn.h"
