// The tables of the generated data directory, loaded once per test program.
#pragma once

#include <string>

namespace tavrin::test {

// Reads the data directory the build wrote (initialize) and sets the
// language defaults, as the start-up does, the first time it is called;
// returns what the loading printed.
const std::string& load_data_tables();

}  // namespace tavrin::test
