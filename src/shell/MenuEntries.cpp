#include "MenuEntries.h"
