#pragma once

#include <QString>

// Shows a file in the program the system keeps for its type (a PDF viewer) and returns
// at once. False when the system has no such program, or it could not be started.
bool openInViewer(const QString& path);
