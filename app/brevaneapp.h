#pragma once

#include "editing/linkeditor.h"
#include "files/filecommands.h"
#include "link/transfercommands.h"
#include "mainwindow/frmbrevanemain.h"
#include "platform/seams.h"
#include "table/modbrevane.h"

// The whole program as one object: the shared state, the main window and the commands
// wired to it. main() makes one with the real seams; tests make their own.
class BrevaneApp {
public:
    explicit BrevaneApp(const Seams& seams);

    ModBrevane& mod() { return m_mod; }
    frmBrevaneMain& window() { return m_window; }
    LinkEditor& linkEditor() { return m_linkEditor; }
    FileCommands& fileCommands() { return m_fileCommands; }
    const Seams& seams() const { return m_seams; }
    TransferCommands& transferCommands() { return m_transferCommands; }

private:
    Seams m_seams;
    ModBrevane m_mod;
    frmBrevaneMain m_window;
    // The commands come after the window: they connect themselves to its controls.
    LinkEditor m_linkEditor;
    FileCommands m_fileCommands;
    TransferCommands m_transferCommands;
};
