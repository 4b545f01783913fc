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

std::string planted_matrices(std::mt19937_64& g, int n, const std::string& d1,
                             const std::string& d2, const std::string& sparse) {
  const std::string side = std::to_string(n);
  std::string text = "Array l[" + side + "," + side + "], u[" + side + "," + side + "], d[" + side +
                     "," + side + "]:\n";
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const std::string at = "[" + std::to_string(i) + "," + std::to_string(j) + "] := ";
      const std::string e = std::to_string(static_cast<int>(g() % 5) - 2) + (g() % 2 ? "*x" : "");
      text += "l" + at + (i == j ? "1" : i > j ? e : "0") + ":\n";
      text += "u" + at + (i == j ? "1" : i < j ? e : "0") + ":\n";
      text += "d" + at + (i != j ? "0" : i == 1 ? d1 : i == 2 ? d2 : "1") + ":\n";
    }
  text += "[a] := [l] * [d] * [u]:\nArray " + sparse + "[" + side + "," + side + "] Sparse:\n";
  text += "for i = 1 to " + side + " do for j = 1 to " + side + " do if a[i,j] <> 0 then " +
          sparse + "[i,j] := a[i,j] fi od od:\n";
  return text;
}

}  // namespace tavrin::test
