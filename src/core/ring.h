// The ground ring as a value: what a kernel needs to know about the ring it
// computes in, read once from the globals by the operation that calls it.
//
// The flags mirror the mode globals (rational arithmetic: all three false;
// floating: flote; modular: modular and lint, with char2 for the fields of
// 256 and 65536 elements). Kernels that take a Ring read it instead of the
// globals, so a test can run one in a ring of its own and kernels of
// different rings can run side by side. The number routines a kernel calls
// still read the globals: a Ring passed down must be the one in force.
#pragma once

#include <cstdint>

#include "core/globals.h"
#include "core/records.h"

namespace tavrin {

struct Ring {
  bool flote = false;            // floating arithmetic: every number one long double
  bool lint = false;             // word arithmetic (with modular, or with flote)
  bool modular = false;          // residues modulo `modulus`
  bool char2 = false;            // the field of 256 or 65536 elements
  std::int32_t modulus = -1;     // the word modulus; -1 in rational arithmetic
  bool laurent = false;          // negative exponents allowed
  std::int16_t field_depth = 0;  // first depth of the bottom field levels; 0: none
  polypt levels = nullptr;       // the variable list, top variable first

  // The ring in force.
  static Ring current() {
    Ring r;
    r.flote = flotemode;
    r.lint = lintmode;
    r.modular = modularmode;
    r.char2 = finf;
    r.modulus = tavrin::modulus;
    r.laurent = tavrin::laurent;
    r.field_depth = tavrin::field_depth;
    r.levels = polynames;
    return r;
  }

  // Whether the globals hold this ring: a Ring passed down must be the one
  // in force, which kernels assert in debug builds.
  bool in_force() const {
    const Ring now = current();
    return now.flote == flote && now.lint == lint && now.modular == modular && now.char2 == char2 &&
           now.modulus == modulus && now.laurent == laurent && now.field_depth == field_depth &&
           now.levels == levels;
  }

  bool rational() const { return !flote && !modular && !lint; }
  // Residues modulo a word prime (not the characteristic-2 fields).
  bool word_prime() const { return modular && !char2; }
  bool gf256() const { return modular && char2 && modulus == 256; }
  bool gf65536() const { return modular && char2 && modulus == 65536; }
  // 32-bit products suffice: a modulus below 65535 or a characteristic-2 field.
  bool small_modulus() const { return modular && (char2 || modulus < 65535); }
  // Integer coefficients (rational or modular), as opposed to floating ones.
  bool exact() const { return !flote; }
};

}  // namespace tavrin
