#include "SaveTargets.h"
