// A device file that reaches up into the engine and into Qt: both are against the layout.
#include <QString>

#include "engine/qvpJob.h"
