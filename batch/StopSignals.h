// SIGINT and SIGTERM caught while a save runs, so that the save can finish the files already
// written, leave the rest and end with its summary instead of dying in the middle.
#pragma once

#include <csignal>

class StopSignals {
 public:
  // Catches both signals from now on; a second one of them ends the program as usual.
  StopSignals();
  // Puts back what the signals did before.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal caught since the last StopSignals was made, or 0.
  static int Received();

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
};
