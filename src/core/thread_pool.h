// Independent tasks on the machine's cores.
//
// run_tasks(n, task) runs task(0) .. task(n - 1), each to its end once, and
// returns when all have ended. With one thread (TAVRIN_THREADS=1, or a
// one-core machine) the tasks run in index order on the calling thread,
// exactly as a loop would. With more, idle pool threads and the caller take
// the next index in turn; each task must then be pure: it reads its
// operands, writes only its own result slot and touches no global (no node
// free list, no ground-ring global, no scratch shared with other tasks).
// Results are collected by index, so they do not depend on the thread count.
//
// Interrupts and errors inside a task (in_pool_task() is true there):
// - A poll that would honour an interrupt stops the task instead
//   (TaskStopped). Once every thread has stopped, the caller honours the
//   interrupt as the single-threaded loop would (the nested level opens on
//   the calling thread, with no task running); when the level is left with
//   "&_p" the stopped tasks run again from their start, and when it is
//   abandoned the jump passes through run_tasks.
// - error(), warning(), the internal-error reports and an exhausted heap do
//   not report from a task: the task ends with TaskFault (or the exception
//   it threw). After the others have ended, the faulted tasks run again on
//   the calling thread outside the pool, in index order, where the fault
//   reports itself with the message and nested level of a plain loop.
#pragma once

#include <cstddef>
#include <functional>

namespace tavrin {

// Thrown by a poll inside a task when an interrupt is to be honoured.
struct TaskStopped {};
// Thrown by error reporting inside a task.
struct TaskFault {};

// The threads the pool uses, the caller included: TAVRIN_THREADS when set to
// 1 .. 512, else the machine's cores.
int thread_count();
// Tests: sets the count (0: back to TAVRIN_THREADS or the cores). Call only
// while no task runs.
void set_thread_count(int threads);

// True while the calling thread runs a task of run_tasks with more than one
// thread.
bool in_pool_task();

// Inside a task: whether a pending interrupt may stop it (the caller of
// run_tasks could honour one: command_int was on and it held no section).
bool pool_task_may_stop();

// Runs task(i) for every i below n as described above. A task that calls
// run_tasks runs the inner tasks in order on its own thread.
void run_tasks(std::size_t n, const std::function<void(std::size_t)>& task);

}  // namespace tavrin
