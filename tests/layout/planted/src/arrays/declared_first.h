// Planted for the declared-once check, with matrix/declared_again.h:
// twice_declared repeats there (other parameter names, a default value), so
// it must be named; overloaded (other parameter types), a member of a class
// and a function of an unnamed namespace share their names only, so none
// may be named.
#pragma once

namespace planted {

int twice_declared(int count, const char* text);
int overloaded(int x);

struct Holder {
  int member(int x);
};

namespace {
int file_local(int x);
}  // namespace

}  // namespace planted
