// What the window's commands need to know about a retrieval run under way and about the
// program closing. The window owns one and shares it with the commands.
#pragma once

struct RunState {
  // True from the start of "Start Retrieving Data" until it returns. A second start and the URL
  // list's "Clear List" are held back while it is set.
  bool running = false;
  // Set by the window when it closes: a run abandons its download and ends without a message.
  bool closing = false;
};
