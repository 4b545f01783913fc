// The front end stands above every folder: includes of all of them are allowed.
#pragma once

#include "toplevel/state.h"
#include "det/router.h"
