// Planted for the size checks, run here with functions reviewed past 10
// lines and files past 40 against the planted size list (size_list.txt):
// grown (12 listed, 14 now), shrunk (14 listed, 12 now), shrunk_below (14
// listed, 9 now, to leave the list) and unlisted (11 lines) must be named;
// held (12 listed, 12 now) and short_one may not be. This file has grown
// past its listed figure.
namespace planted {

int grown(int x) {
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  return x;
}

int shrunk(int x) {
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  return x;
}

int shrunk_below(int x) {
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  return x;
}

int unlisted(int x) {
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  return x;
}

int held(int x) {
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  x += 1;
  return x;
}

int short_one(int x) {
  x += 1;
  return x;
}

}  // namespace planted
