// The window's mouse pointer as the workflow's busy marker.
#pragma once

#include "BusyPointer.h"
#include "PointerState.h"

class WindowPointer : public BusyPointer {
 public:
  explicit WindowPointer(PointerState& pointer) : pointer_(pointer) {}

  int Value() const override { return pointer_.Value(); }
  void SetValue(int value) override { pointer_.SetValue(value); }

 private:
  PointerState& pointer_;
};
