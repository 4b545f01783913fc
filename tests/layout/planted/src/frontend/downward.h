// The front end stands above every folder: includes of all of them are allowed.
#pragma once

#include "det/router.h"
#include "toplevel/state.h"
