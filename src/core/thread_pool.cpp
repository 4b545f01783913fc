#include "core/thread_pool.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"

namespace tavrin {

namespace {

thread_local bool task_running = false;
thread_local bool task_may_stop = false;

int threads_from_environment() {
  if (const char* s = std::getenv("TAVRIN_THREADS")) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end != s && *end == '\0' && v >= 1 && v <= 512) return static_cast<int>(v);
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores > 512 ? 512 : cores);
}

int chosen_threads = 0;  // 0: not yet read

enum class TaskState : std::uint8_t { waiting, done, stopped, faulted };

// One call of run_tasks: the indices still to run, handed out in turn.
struct Job {
  const std::function<void(std::size_t)>* task = nullptr;
  const std::vector<std::size_t>* indices = nullptr;
  std::vector<TaskState>* states = nullptr;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};  // an interrupt stopped a task: start no more
  bool may_stop = false;          // the caller could honour an interrupt
};

// Runs tasks of `job` until none is left or one was stopped.
void work_on(Job& job) {
  const bool outer = task_running;
  const bool outer_may_stop = task_may_stop;
  task_running = true;
  task_may_stop = job.may_stop;
  for (;;) {
    if (job.stop.load(std::memory_order_acquire)) break;
    const std::size_t k = job.next.fetch_add(1, std::memory_order_relaxed);
    if (k >= job.indices->size()) break;
    const std::size_t i = (*job.indices)[k];
    TaskState state = TaskState::done;
    try {
      (*job.task)(i);
    } catch (const TaskStopped&) {
      state = TaskState::stopped;
      job.stop.store(true, std::memory_order_release);
    } catch (...) {
      state = TaskState::faulted;
    }
    (*job.states)[i] = state;
  }
  task_running = outer;
  task_may_stop = outer_may_stop;
}

// Worker threads wait for a job; the caller works on it beside them.
class Pool {
 public:
  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      shutdown_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) t.join();
  }

  // Runs `job` on `threads` threads, the caller included.
  void run(Job& job, int threads) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (static_cast<int>(workers_.size()) < threads - 1)
      workers_.emplace_back([this] { serve(); });
    job_ = &job;
    wanted_ = threads - 1;
    busy_ = 0;
    ++generation_;
    lock.unlock();
    wake_.notify_all();
    work_on(job);
    lock.lock();
    // Workers that have not yet joined this job take no part in it.
    wanted_ = 0;
    idle_.wait(lock, [this] { return busy_ == 0; });
    job_ = nullptr;
  }

 private:
  void serve() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return shutdown_ || (generation_ != seen && wanted_ > 0); });
      if (shutdown_) return;
      seen = generation_;
      --wanted_;
      ++busy_;
      Job* job = job_;
      lock.unlock();
      work_on(*job);
      lock.lock();
      if (--busy_ == 0) idle_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::vector<std::thread> workers_;
  Job* job_ = nullptr;
  std::uint64_t generation_ = 0;
  int wanted_ = 0;  // workers still to join the current job
  int busy_ = 0;    // workers working on it
  bool shutdown_ = false;
};

Pool& the_pool() {
  static Pool pool;
  return pool;
}

}  // namespace

int thread_count() {
  if (chosen_threads == 0) chosen_threads = threads_from_environment();
  return chosen_threads;
}

void set_thread_count(int threads) { chosen_threads = threads; }

bool in_pool_task() { return task_running; }

bool pool_task_may_stop() { return task_may_stop; }

void run_tasks(std::size_t n, const std::function<void(std::size_t)>& task) {
  const int threads = task_running ? 1 : thread_count();
  if (threads <= 1 || n <= 1) {
    for (std::size_t i = 0; i < n; ++i) task(i);
    return;
  }
  std::vector<TaskState> states(n, TaskState::waiting);
  std::vector<std::size_t> indices(n);
  for (std::size_t i = 0; i < n; ++i) indices[i] = i;
  while (!indices.empty()) {
    Job job;
    job.task = &task;
    job.indices = &indices;
    job.states = &states;
    job.may_stop = command_int && interrupt_holds == 0;
    const int used = static_cast<int>(n < static_cast<std::size_t>(threads) ? n : threads);
    the_pool().run(job, used);
    if (!job.stop.load()) break;
    // Every thread has stopped: the interrupt is honoured here, with no task
    // running, and the tasks not finished run again.
    honour_interrupt();
    std::vector<std::size_t> again;
    for (std::size_t i : indices)
      if (states[i] == TaskState::waiting || states[i] == TaskState::stopped) {
        states[i] = TaskState::waiting;
        again.push_back(i);
      }
    indices.swap(again);
  }
  for (std::size_t i = 0; i < n; ++i)
    if (states[i] == TaskState::faulted) task(i);
}

}  // namespace tavrin
