#include "numbers/mod_journal.h"

#include "core/globals.h"
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
    if (f->owner != nullptr) f->owner->journalled = false;
    if (f->special == zzero) {
      *static_cast<poly*>(f->prev) = f->node;
      continue;
    }
    quoly q = static_cast<quoly>(f->prev);
    if (f->special == four) {
      q->rat = true;
      continue;
    }
    switch (f->special) {
      case two:
        free_imag(&q->ncoef);
        break;
      case three:
        free_poly(&q->numer);
        free_poly(&q->denom);
        break;
      default:
        break;
    }
    q->numb = false;
    q->denom = nullptr;
  }
  free_fix_list(first, last);
  *fx = nullptr;
}

void own_journal_records(quoly q, fixptr before) {
  for (fixptr f = masterfix; f != nullptr && f != before; f = f->next)
    if (f->owner == nullptr) f->owner = q;
  q->journalled = true;
}

void release_journalled(quoly q) {
  fixptr own = nullptr;
  fixptr* tail = &own;
  for (fixptr* link = &masterfix; *link != nullptr;) {
    fixptr f = *link;
    if (f->owner != q) {
      link = &f->next;
      continue;
    }
    *link = f->next;
    f->next = nullptr;
    *tail = f;
    tail = &f->next;
  }
  restore_from_mod(&own);
  q->journalled = false;
}

}  // namespace tavrin
