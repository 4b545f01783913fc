// The terminal interrupt. The SIGINT handler only sets a flag; long
// computations poll it with check_interrupt() at safe points, where an
// interrupt opens a nested command level (error(-1)) on top of the
// computation. A safe point holds no shared scratch (dense arrays,
// Karatsuba space, undo journals) and no half-linked list: the nested level
// may run any statement.
#pragma once

#include <csignal>

namespace tavrin {

// 1 while an interrupt is pending (set by the handler, cleared when it is
// honoured).
extern volatile std::sig_atomic_t interrupt_requested;

// Installs the SIGINT handler with sigaction, without SA_RESTART, so that a
// read waiting at the prompt returns (the line reader then polls). A second
// SIGINT while one is pending and not yet honoured restores the default
// action, so a program that never polls can still be stopped; honouring the
// interrupt installs the handler again.
void install_interrupt_handler();

// Honours a pending interrupt: when command_int is true, the flag is
// cleared and a nested command level opens (error(-1, &blank)); the call
// returns when the user leaves it. Otherwise the interrupt stays pending
// until a poll finds command_int true again. reads: command_int
void honour_interrupt();

// The poll of the safe points: one load and one test when nothing is pending.
inline void check_interrupt() {
  if (interrupt_requested != 0) honour_interrupt();
}

}  // namespace tavrin
