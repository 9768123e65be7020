#include "options/options_file.h"
