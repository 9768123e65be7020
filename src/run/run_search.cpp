#include "run/run_search.h"
