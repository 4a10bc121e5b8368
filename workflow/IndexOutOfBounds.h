// The one failure of a list asked for a row or column it does not have: the same text in the
// window's lists and in the batch mode's.
#pragma once

#include <stdexcept>

[[noreturn]] inline void ThrowIndexOutOfBounds() { throw std::out_of_range("Index out of bounds"); }
