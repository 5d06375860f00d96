#include "link/storage_codes.h"
