// What the window's commands need to know about a retrieval run under way and about the
// program closing. The window owns one and shares it with the commands.
#pragma once

struct RunState {
  // True from the start of "Start Retrieving Data" until it returns. A second start and the URL
  // list's "Clear List" are held back while it is set.
  bool running = false;
  // Set by the window when it closes: a run abandons its download and ends without a message.
  bool closing = false;
  // Set by Escape during a run: the run abandons its downloads, keeps the rows read so far and
  // ends with "Stopped.". Cleared when the next run starts.
  bool stopping = false;

  // Whether a run under way should stop reading feeds, for either reason.
  bool Halted() const { return closing || stopping; }
};
