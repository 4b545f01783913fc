#include "det/det_support.h"

#include <vector>

#include "det/dense_gauss.h"
#include "det/router.h"

namespace tavrin::test {

Value bareiss(const Mat& a) {
  return on_dense_copy(a, [](workptr w, std::int32_t m, Value& d) {
    mat_invert_EnvRec env;
    set_search_params(env, w, m);
    try {
      gauss_Bareiss(d.cell(), m, w, false, false, nullptr, env, false);
    } catch (const mat_invert_exit&) {
    }
  });
}

Value minors(const Mat& a) {
  Value d;
  std::vector<quoly> cells(a.cell.size());
  for (std::size_t k = 0; k < cells.size(); ++k) cells[k] = a.cell[k].get();
  small_determ(d.cell(), cells.data(), a.rows, false);
  return d;
}

}  // namespace tavrin::test
