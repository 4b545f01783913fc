// Planted: one read of a mode global in a file the list does not name.
namespace planted {
bool floating() { return flotemode; }
}  // namespace planted
