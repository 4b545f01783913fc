// Planted: two reads of the mode globals, as many as the list allows.
namespace planted {
int depth_and_modulus() { return field_depth + modulus; }
}  // namespace planted
