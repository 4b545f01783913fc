// The terminal interrupt. The SIGINT handler only sets a flag; long
// computations poll it with check_interrupt() at safe points, where an
// interrupt opens a nested command level (error(-1)) on top of the
// computation. A safe point holds no shared scratch (dense arrays,
// Karatsuba space, undo journals) and no half-linked list: the nested level
// may run any statement.
#pragma once

#include <atomic>

#include "core/no_copy.h"

namespace tavrin {

// 1 while an interrupt is pending (set by the handler, cleared when it is
// honoured). Atomic: the threads of the pool poll it too.
extern std::atomic<int> interrupt_requested;

// Installs the SIGINT handler with sigaction, without SA_RESTART, so that a
// read waiting at the prompt returns (the line reader then polls). A second
// SIGINT while one is pending and not yet honoured restores the default
// action, so a program that never polls can still be stopped; honouring the
// interrupt installs the handler again.
void install_interrupt_handler();

// Sections during which an interrupt must wait although a poll is reached:
// a modular image with its undo journal, a fold that has taken a list apart.
// While one is open (interrupt_holds > 0) a pending interrupt stays pending.
// Each thread counts its own sections.
extern thread_local int interrupt_holds;
class InterruptHold : NoCopy {
 public:
  InterruptHold() { ++interrupt_holds; }
  ~InterruptHold() { --interrupt_holds; }
};

// Honours a pending interrupt: when command_int is true and no hold is
// open, the flag is cleared and a nested command level opens (error(-1,
// &blank)); the call returns when the user leaves it. Otherwise the
// interrupt stays pending until a later poll may honour it. When a ring
// guard has switched the ring (core/mode_guard.h), the level runs in the
// user's ring and the switched one is put back afterwards, so that a poll
// is safe inside images modulo word primes.
// Inside a task of the pool (core/thread_pool.h) the interrupt is not
// honoured there: the task stops, and the caller of the pool honours it.
// reads: command_int, interrupt_holds, ring_guards_open, unswitched_ring
void honour_interrupt();

// The poll of the safe points: one load and one test when nothing is pending.
inline void check_interrupt() {
  if (interrupt_requested.load(std::memory_order_relaxed) != 0) honour_interrupt();
}

}  // namespace tavrin
