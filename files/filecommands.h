#pragma once

#include <QObject>
#include <QString>

#include "platform/filedialogs.h"
#include "platform/seams.h"

class ModBrevane;
class frmBrevaneMain;

// The File menu (New, Open, Save, Save As, Exit) and the closing of the main window:
// moves the whole table between Cnf and *.BRV files and guards unsaved changes with
// the discard question.
class FileCommands : public QObject {
    Q_OBJECT
public:
    // Connects itself to the window's File menu, its closing and its key boxes.
    explicit FileCommands(ModBrevane& mod, frmBrevaneMain& window, const Seams& seams);

    // The name box preset of the first file dialog of a run: every *.BRV file in the
    // default folder. Returned as it stands, it is no choice.
    static QString firstDialogName();
    // The two filter entries, the first selected at the start.
    static QStringList nameFilters();

    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    // Closes the window, so the discard question is put once, by Form_Unload.
    void mnuExit_Click();
    // Any closing of the main window: Cancel = 1 keeps it open.
    void Form_Unload(int& Cancel);

    // Asks, shows the Open dialog and reads the chosen file. Returns whether a file was
    // read; otherwise nothing has changed.
    bool FileOpen();
    // Opens path as Open does once its dialog has chosen it, after the discard question:
    // the start-up argument and a dropped file.
    void openFile(const QString& path);
    // Shows the Save dialog and writes the chosen file. Returns whether it was written;
    // otherwise CnfPath and the label are as they were.
    bool FileSaveAs();
    // Reads a whole file into the table and unpacks the keys; the key boxes and the rows
    // are not touched. A file that cannot be read, or is short, is reported and leaves
    // everything as it was.
    bool ReadCnf(const QString& path);
    // Packs the keys from the key boxes and writes the table. A failed write is reported
    // and leaves the old file whole.
    bool WriteCnf(const QString& path);

    // The dialog's file name, kept from one use to the next like the name box of one
    // shared dialog.
    const QString& dialogFileName() const { return m_dialogFileName; }

private:
    // The name box text for the next dialog: the preset the first time, otherwise the
    // kept name (emptied first for Open).
    FileDialogRequest prepareDialog(bool emptyName);
    // Whether the dialog's answer names a file: not a cancel, not the preset itself.
    static bool isChoice(const QString& fileName);
    // Reads the file and makes it the current one; nothing changes when it cannot be read.
    bool openChosen(const QString& path);
    // The rows and key boxes from the table just read, with Modified cleared.
    void showOpened();
    void fileError(const QString& action, const QString& path, const QString& reason);
    void showKeys();

    ModBrevane& m_mod;
    frmBrevaneMain& m_window;
    Seams m_seams;
    QString m_dialogFileName;
};
