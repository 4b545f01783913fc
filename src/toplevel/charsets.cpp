#include "toplevel/charsets.h"

#include <cstring>

#include "toplevel/state.h"

namespace tavrin {

stuff throwaways = {};
stuff cond_set = {};
stuff short_set = {};
stuff iterm_set = {};
stuff term_set = {};
stuff arr_term_ops = {};

void PSet_Init(stuff* theSet, int nbrWords) {
  for (int k = 0; k < nbrWords; ++k) theSet->word[k] = 0;
}

void PSet_Set(stuff* theSet, int nbrWords, std::uint32_t theElem) {
  const int w = nbrWords - static_cast<int>(theElem / 16) - 1;
  theSet->word[w] = static_cast<std::uint16_t>(theSet->word[w] | (1u << (theElem % 16)));
}

bool PSet_Test(const stuff* theSet, int nbrWords, std::uint32_t theElem) {
  if (theElem >= static_cast<std::uint32_t>(16 * nbrWords)) return false;
  const int w = nbrWords - static_cast<int>(theElem / 16) - 1;
  return (theSet->word[w] >> (theElem % 16) & 1u) != 0;
}

namespace {

void fill(stuff* s, const char* members, std::size_t count) {
  PSet_Init(s, set_words);
  for (std::size_t k = 0; k < count; ++k)
    PSet_Set(s, set_words, static_cast<unsigned char>(members[k]));
}

}  // namespace

void init_character_sets() {
  fill(&throwaways, " \t\n\r", 4);
  fill(&cond_set, "<>=\xAD\xB2\xB3", 6);
  fill(&short_set, "=>", 2);
  fill(&iterm_set, "*/\\|", 4);
  fill(&term_set, "*/\\|(", 5);
  fill(&arr_term_ops, "*/|\\_", 5);
}

std::int16_t hash(const char* x, std::int32_t prime) {
  std::int64_t h = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(x); *c != 0; ++c)
    h = (h * 123 + *c) % prime;
  return static_cast<std::int16_t>(h);
}

std::int32_t fastestlookup(tokentipe* x, arrptr* q) {
  // A cached bucket outside the table (none cached: -1) is computed afresh.
  if (x->address < 0 || x->address >= arr_buckets) x->address = hash(x->name, arr_buckets);
  for (arrptr a = arr_store[x->address]; a != nullptr; a = a->next) {
    if (std::strcmp(a->name.name, x->name) == 0) {
      *q = a;
      return a->start;
    }
  }
  *q = nullptr;
  return -1;
}

}  // namespace tavrin
