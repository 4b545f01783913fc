// Random rational values for "Rand", "RRand" and random matrices.
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "poly/poly_divide.h"
#include "poly/poly_images.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

void randomize(bool again, quolyptr n) {
  // Two draws of 14 bits each make a value below 2^28.
  const std::int32_t hi = rand_integer2();
  const std::int32_t lo = rand_integer2();
  std::int64_t r = static_cast<std::int64_t>(hi) * 16384 + lo;
  if (again) {
    r = r + static_cast<std::int64_t>(std::clock()) / 1000;
    if (r < 0) r = -r;
    r %= 268435456;
  }
  nodes::ScratchNumber value;
  if (modularmode) {
    special_set(static_cast<std::int32_t>(r), value.get());
    change_num(value.get(), true, false);
  } else {
    setvalue(static_cast<std::int32_t>(r), value.get());
  }
  nodes::ScratchNumber result;
  quot(value.get(), &rand_denom_n, result.get());
  // A copy: the scratch number's limbs go back with it.
  free_quoly(n);
  quoly_set(0, n);
  num_assign(result.get(), (*n)->ncoef);
}

}  // namespace tavrin
