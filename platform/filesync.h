#pragma once

#include <QString>

// Getting written data onto the disk, so that a power cut cannot leave a file that its
// name already points to but whose bytes never arrived.

// Waits until the data written through the open file handle is on the disk. On failure
// returns false and, when error is given, sets it to the system's reason.
bool syncFileData(int handle, QString* error = nullptr);
// Makes the names in folder (a file just renamed into it) durable where the system
// allows it; elsewhere, or when the folder cannot be synced, does nothing.
void syncFolder(const QString& folder);
