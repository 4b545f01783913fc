// Sorted: a room's own header, included by its path from src/, comes first
// in its block, ahead of core/. The check may not name it.
#include "gcd/modular/room_own.h"
#include "core/errors.h"
#include "numbers/word_field.h"
