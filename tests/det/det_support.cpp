#include "det/det_support.h"

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

}  // namespace tavrin::test
