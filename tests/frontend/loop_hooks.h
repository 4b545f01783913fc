// The command loop's hooks, its counters and the input, saved for the time
// of a test and put back after, so that the nested levels the real loop
// opens read the test's statements.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "frontend/command_loop.h"
#include "frontend/error_context.h"

namespace tavrin::test {

class LoopHooks {
 public:
  LoopHooks()
      : runner_(run_command_level, command_level),
        context_(print_error_context, print_context),
        poll_(TextInput::on_interrupt, nullptr),
        input_(Input),
        level_(levelcount),
        time_level_(time_level),
        stat_(statcount),
        last_(lastf),
        noisy_(noisy, true) {
    install_command_loop();  // the error hooks; the rest is put back by the guards
    time_to_quit = false;
  }

 private:
  ScopedValue<command_level_runner> runner_;
  ScopedValue<error_context_printer> context_;
  ScopedValue<void (*)()> poll_;
  ScopedValue<FILEPtr> input_;
  ScopedValue<std::int32_t> level_, time_level_, stat_;
  ScopedValue<statptr> last_;
  ScopedValue<bool> noisy_;
};

}  // namespace tavrin::test
