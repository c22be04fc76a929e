// The forms that the engine holds, each in a slot from its first showing to its release.
// Portable (no <windows.h>), so that the host tests hold it to its count.
#pragma once

#include <cstddef>

namespace kavrio {

class Form;

// Slot is the engine's record of one form; its `form` is null while the slot is free.
template <class Slot, std::size_t Size>
class FormSlots {
 public:
  // The form's slot; given null, a free slot. Null when there is none.
  Slot* Find(const Form* form) {
    for (Slot& slot : slots_) {
      if (slot.form == form) return &slot;
    }
    return nullptr;
  }

  // The form's slot, taken now if it has none; null when every slot is taken.
  Slot* Reserve(Form& form) {
    Slot* slot = Find(&form);
    if (!slot && (slot = Find(nullptr))) {
      slot->form = &form;
      ++held_;
    }
    return slot;
  }

  // Frees the slot, once: a window whose creation fails is released by its WM_NCDESTROY
  // before its creator sees the failure and releases it too.
  bool Release(Slot& slot) {
    if (!slot.form) return false;
    slot = Slot{};
    --held_;
    return true;
  }

  int Held() const { return held_; }

 private:
  Slot slots_[Size];
  int held_ = 0;
};

}  // namespace kavrio
