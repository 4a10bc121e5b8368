// Times each step of the parse path on its own, with the same components the reader uses, to
// show where the time goes.
#pragma once

#include <string>

// Prints, for one feed text, the best time and throughput of each step: the response copy,
// document cleaning (forbidden characters by the component and by plain RE2, declarations by
// their scanner, both), the character-reference pass, loading, the entry query, reading the
// fields, and markup stripping (the component and plain RE2). Returns the process exit code.
int TimePhases(const std::string& text);
