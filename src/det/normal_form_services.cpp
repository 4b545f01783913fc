// The determinant service of the normal forms (matrix/det_services.h).
#include "det/divisor_determ.h"
#include "matrix/det_services.h"

namespace tavrin {

imptr exact_int_determinant(const std::vector<quoly>& cells, std::int32_t m) {
  return images::divisor_determ(cells, m, nullptr);
}

}  // namespace tavrin
