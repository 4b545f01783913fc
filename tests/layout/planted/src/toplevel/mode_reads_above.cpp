// Planted: reads of the mode globals above the kernel folders are not held.
namespace planted {
bool toplevel_laurent() { return laurent; }
}  // namespace planted
