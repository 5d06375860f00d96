#include "shell/interface_texts.h"
