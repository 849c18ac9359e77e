#pragma once

#include <QString>
#include <cstdio>

// Writes text to standard output or error (stream: stdout or stderr). A program built
// for the desktop gets no console of its own on Windows, so text that is not redirected
// goes to the console of the command prompt that started the program, when there is one.
void printForUser(std::FILE* stream, const QString& text);
