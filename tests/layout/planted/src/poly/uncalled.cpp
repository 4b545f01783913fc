// Planted for the uncalled-function check: forgotten_helper is declared and
// defined but never called, and must be named; used_helper is called and
// entry_point is taken by a pointer, so neither may be named.
namespace planted {

int forgotten_helper(int x);

int forgotten_helper(int x) { return x + 1; }

int used_helper(int x) { return 2 * x; }

int entry_point() { return used_helper(3); }

int (*const entry)() = entry_point;

}  // namespace planted
