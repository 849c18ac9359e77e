#pragma once

#include <cstdio>

// Whether the stream writes to a terminal (a console window on Windows), so a progress
// line that rewrites itself is only shown to a person, never into a file or a pipe.
bool isTerminal(std::FILE* stream);
