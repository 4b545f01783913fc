#include "numbers/mod_journal.h"

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"

namespace tavrin {

fixptr masterfix = nullptr;

void check_modular(bool* modular_stuff) {
  *modular_stuff = modularmode;
  if (modularmode) {
    modularmode = false;
    mod_is_changed = static_cast<std::int16_t>(mod_is_changed + 1);
  }
}

void restore_modular(bool modular_stuff) {
  modularmode = modular_stuff;
  if (modular_stuff && mod_is_changed > 0)
    mod_is_changed = static_cast<std::int16_t>(mod_is_changed - 1);
}

void restore_from_mod(fixptr* fx) {
  fixptr first = *fx;
  if (first == nullptr) return;
  fixptr last = first;
  for (fixptr f = first; f != nullptr; f = f->next) {
    last = f;
    if (f->special == zzero || f->special == five) {
      poly* cell = static_cast<poly*>(f->prev);
      if (f->special == five) free_poly(cell);
      *cell = f->node;
      continue;
    }
    quoly q = static_cast<quoly>(f->prev);
    if (f->special == four) {
      q->rat = true;
      continue;
    }
    switch (f->special) {
      case two: free_imag(&q->ncoef); break;
      case three:
        free_poly(&q->numer);
        free_poly(&q->denom);
        break;
      default: break;
    }
    q->numb = false;
    q->denom = nullptr;
  }
  free_fix_list(first, last);
  *fx = nullptr;
}

void claim_journal_records(void* owner, fixptr before) {
  for (fixptr f = masterfix; f != nullptr && f != before; f = f->next)
    if (f->owner == nullptr) f->owner = owner;
}

void own_journal_records(quoly q, fixptr before) {
  claim_journal_records(q, before);
  q->journalled = true;
}

void release_journal_records(void* owner) {
  fixptr own = nullptr;
  fixptr* tail = &own;
  for (fixptr* link = &masterfix; *link != nullptr;) {
    fixptr f = *link;
    if (f->owner != owner) {
      link = &f->next;
      continue;
    }
    *link = f->next;
    f->next = nullptr;
    *tail = f;
    tail = &f->next;
  }
  restore_from_mod(&own);
}

void release_journalled(quoly q) {
  release_journal_records(q);
  q->journalled = false;
}

void free_relations(polypt r) {
  release_journal_records(r);
  ScopedValue<bool> limbs(lintmode, false);
  free_poly(&r->p);
  free_poly(&r->alt);
  free_poly(&r->roots);
  free_poly(&r->multdata);
}

}  // namespace tavrin
