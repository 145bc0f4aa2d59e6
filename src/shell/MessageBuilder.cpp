#include "MessageBuilder.h"
