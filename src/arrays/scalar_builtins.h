// The built-ins of single values that write into arrays or stored values,
// or test with the matrix kernels: divisibility by trial division ("Div",
// "Pdiv", "SDivide"), comparisons ("Equal", "Equalneg"), denominators
// cleared in place ("Killden"), and the splitting and splicing of
// polynomials in place ("Split", "Splice"). The other built-ins of single
// values are lang's (lang/builtins/poly_builtins.h).
#pragma once

namespace tavrin {

// Registers the handlers of the built-ins above. Called by
// install_array_builtins.
void install_scalar_builtins();

}  // namespace tavrin
