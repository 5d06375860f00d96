#include "link/value_format.h"
