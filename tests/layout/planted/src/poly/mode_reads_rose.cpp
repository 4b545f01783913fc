// Planted: four reads of the mode globals where the list allows three.
// Not counted: modulus, laurent in a comment, in a string, the members and
// the function below.
namespace planted {
struct Field {
  unsigned modulus() const { return 7; }
};

int ring_modulus(const Ring& ring, const Ring* other, const Field& field) {
  const char* text = "modulus laurent finf";  // a string is no read
  return text[0] + ring.modulus + other->modulus + other->laurent + field.modulus();
}

int global_modulus() {
  if (laurent || finf) return tavrin::modulus;  // three reads
  return modulus;                               // the fourth
}
}  // namespace planted
