#include "core/interrupts.h"

#include <signal.h>

#include <csignal>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thread_pool.h"

namespace tavrin {

std::atomic<int> interrupt_requested{0};
thread_local int interrupt_holds = 0;

namespace {

// Set by the handler when a second interrupt restored the default action.
volatile std::sig_atomic_t handler_disarmed = 0;

extern "C" void on_sigint(int) {
  if (interrupt_requested != 0) {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    handler_disarmed = 1;
  }
  interrupt_requested = 1;
}

}  // namespace

void install_interrupt_handler() {
  struct sigaction sa {};
  sa.sa_handler = on_sigint;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a waiting read returns
  sigaction(SIGINT, &sa, nullptr);
  handler_disarmed = 0;
}

void honour_interrupt() {
  if (in_pool_task()) {
    if (interrupt_requested != 0 && interrupt_holds == 0 && pool_task_may_stop())
      throw TaskStopped{};
    return;
  }
  if (interrupt_requested == 0 || !command_int || interrupt_holds > 0) return;
  interrupt_requested = 0;
  if (handler_disarmed != 0) install_interrupt_handler();
  if (ring_guards_open == 0) {
    error(open_level_code, &blank);
    return;
  }
  // A computation has switched the ring (images modulo word primes, big
  // arithmetic inside word mode): the nested level runs in the user's ring,
  // and the switched one comes back when the level is left or unwound.
  struct SwitchedRing {
    RingState ring = RingState::current();
    ~SwitchedRing() { ring.apply(); }
  } switched;
  unswitched_ring.apply();
  error(open_level_code, &blank);
}

}  // namespace tavrin
