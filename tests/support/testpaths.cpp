#include "tests/support/testpaths.h"
