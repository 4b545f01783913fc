// A planted fault for the include-order check: the floor of the top level
// includes a header of the front end above it. The check must name this line.
#pragma once

#include "core/records.h"
#include "frontend/commands.h"
