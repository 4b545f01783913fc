// Copies of nodes and lists shared by the polynomial routines of poly/;
// the node constructors and owning handles are in numbers/node_handles.h.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin::detail {

// A fresh number holding a copy of n's value in the field of the current
// mode: flote in floating mode, lint in word mode, the limbs otherwise.
// reads: mode flags
imptr copy_number(imptr n);

// A fresh deep copy of the list p (nil gives nil).
poly copy_list(poly p);

// As copy_list, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_list_negated(poly p);

// A fresh copy of the single node p (its coefficient or number copied deeply),
// next nil.
poly copy_node_alone(poly p);

// As copy_node_alone, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_node_negated(poly p);

}  // namespace tavrin::detail
