// The images of the multimodular and interpolation routes of the matrices
// (one per word prime or evaluation point) as tasks of the thread pool
// (core/thread_pool.h). Each image is a pure task: it reads prepared word
// arrays, writes its own result slot and touches no global; the caller
// consumes the slots in index order afterwards, so the answer does not
// depend on the thread count.
#pragma once

#include <cstddef>
#include <functional>

namespace tavrin {

// Word steps (images times the steps of one image) from which the images
// run on the pool; smaller batches stay a loop on the caller, where the
// pool's start-up would cost more than it saves. Default 2^20. Range >= 0
// (0: every batch of two or more images on the pool). Readers: run_images.
extern double threaded_image_steps;

// Runs image(i) for every i below n: on the pool when n >= 2 and n * steps
// reaches threaded_image_steps, else in index order on the caller.
void run_images(std::size_t n, double steps, const std::function<void(std::size_t)>& image);

}  // namespace tavrin
