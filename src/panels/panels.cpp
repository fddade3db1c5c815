#include "panels/panels.h"
