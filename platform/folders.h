#pragma once

#include <QString>

// The working folders: "C:\Orvik Tessaly Net\Brevane" on Windows, the same two names
// under the user's home folder elsewhere.

// Whether a folder exists at path. False for a file of that name.
bool folderExists(const QString& path);
// "C:/Orvik Tessaly Net" on Windows, "<home>/Orvik Tessaly Net" elsewhere.
QString workingRoot();
// The folder where configuration files live by default: <workingRoot>/Brevane.
QString defaultFolder();
// Creates root, then root/Brevane, each only when missing. A folder that cannot be
// created is passed over: the program runs without it. Returns whether both exist.
bool prepareWorkingFolders(const QString& root);
