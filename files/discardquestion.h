#pragma once

class MessageBoxes;
class ModBrevane;
class QWidget;

// Before a command that would drop unsaved changes: while Modified is set, asks
// "Discard Any Changes?" (Yes the default). Returns whether the command goes on: true
// on Yes or when nothing was asked. Answering does not clear Modified.
bool discardQuestion(const ModBrevane& mod, MessageBoxes& messages, QWidget* parent);
