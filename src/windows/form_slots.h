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
  Slot* Find(const Form& form) { return SlotOf(&form); }

  // The form's slot, taken now if it has none; null when every slot is taken.
  Slot* Reserve(Form& form) {
    if (Slot* held = Find(form)) return held;
    Slot* slot = SlotOf(nullptr);
    if (slot) {
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
  Slot* SlotOf(const Form* form) {
    for (Slot& slot : slots_) {
      if (slot.form == form) return &slot;
    }
    return nullptr;
  }

  Slot slots_[Size];
  int held_ = 0;
};

}  // namespace kavrio
