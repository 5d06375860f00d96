#include "link/catalogue.h"
