// Planted: two reads of the mode globals where the list allows five.
namespace planted {
bool word_mode() { return modularmode && lintmode; }
}  // namespace planted
