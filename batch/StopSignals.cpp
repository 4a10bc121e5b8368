#include "StopSignals.h"

namespace {

volatile std::sig_atomic_t received = 0;

// Only notes the signal: the save looks at it between files.
void Note(int signal) { received = signal; }

}  // namespace

StopSignals::StopSignals() {
  received = 0;
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  // Writes and syncs under way carry on; after one signal the next acts as if none were caught,
  // which loses nothing either: files without their names yet simply vanish.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, &oldInterrupt_);
  sigaction(SIGTERM, &action, &oldTerminate_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &oldInterrupt_, nullptr);
  sigaction(SIGTERM, &oldTerminate_, nullptr);
}

int StopSignals::Received() { return received; }
