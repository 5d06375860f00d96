#include "link/block_engine.h"
