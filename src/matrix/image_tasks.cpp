// Images on the thread pool above a size (see image_tasks.h).
#include "matrix/image_tasks.h"

#include <cstddef>
#include <functional>

#include "core/thread_pool.h"

namespace tavrin {

double threaded_image_steps = 1048576.0;

void run_images(std::size_t n, double steps, const std::function<void(std::size_t)>& image) {
  if (n >= 2 && static_cast<double>(n) * steps >= threaded_image_steps) {
    run_tasks(n, image);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) image(i);
}

}  // namespace tavrin
