#include "link/boot_requests.h"
