#include "link/block_helpers.h"
