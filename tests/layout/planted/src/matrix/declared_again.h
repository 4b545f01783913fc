// The second header of the declared-once case (see arrays/declared_first.h).
#pragma once

namespace planted {

int twice_declared(int n, const char* name = nullptr);
int overloaded(double x);

class Other {
 public:
  int member(int x);
};

namespace {
int file_local(int x);
}  // namespace

}  // namespace planted
