#include "files/filecommands.h"

#include <QAction>
#include <QDir>

#include "files/brvfile.h"
#include "files/discardquestion.h"
#include "mainwindow/frmbrevanemain.h"
#include "mainwindow/keybox.h"
#include "platform/folders.h"
#include "platform/messageboxes.h"
#include "table/modbrevane.h"

FileCommands::FileCommands(ModBrevane& mod, frmBrevaneMain& window, const Seams& seams)
    : m_mod(mod), m_window(window), m_seams(seams) {
    connect(window.mnuFileNew(), &QAction::triggered, this, &FileCommands::mnuFileNew_Click);
    connect(window.mnuFileOpen(), &QAction::triggered, this, &FileCommands::mnuFileOpen_Click);
    connect(window.mnuFileSave(), &QAction::triggered, this, &FileCommands::mnuFileSave_Click);
    connect(window.mnuFileSaveAs(), &QAction::triggered, this, &FileCommands::mnuFileSaveAs_Click);
    connect(window.mnuExit(), &QAction::triggered, this, &FileCommands::mnuExit_Click);
    connect(&window, &frmBrevaneMain::unloading, this, &FileCommands::Form_Unload);
    connect(&window, &frmBrevaneMain::fileDropped, this, &FileCommands::openFile);
    // Only the user's typing counts; the program filling the boxes does not emit this.
    const auto keyTyped = [this] { m_mod.Modified = true; };
    connect(window.txtOKey(), &QLineEdit::textEdited, this, keyTyped);
    connect(window.txtIKey(), &QLineEdit::textEdited, this, keyTyped);
}

QString FileCommands::firstDialogName() {
    return defaultFolder() + QStringLiteral("/*.BRV");
}

QStringList FileCommands::nameFilters() {
    return {QStringLiteral("Tessaly Brevane Files (*.BRV)"), QStringLiteral("All Files (*.*)")};
}

void FileCommands::mnuFileNew_Click() {
    if (!discardQuestion(m_mod, *m_seams.messages, &m_window)) {
        return;
    }
    m_mod.CnfPath = NoFile;
    m_window.ShowFileName();
    m_mod.ResetCnf();
    m_window.ShowCnf();
    showKeys();
    m_mod.Modified = false;
}

void FileCommands::mnuFileOpen_Click() {
    // A cancelled or failed Open leaves the table, the key boxes and Modified alone, so
    // no edit can vanish without the question.
    if (FileOpen()) {
        showOpened();
    }
}

void FileCommands::openFile(const QString& path) {
    if (discardQuestion(m_mod, *m_seams.messages, &m_window) && openChosen(path)) {
        showOpened();
    }
}

bool FileCommands::FileOpen() {
    if (!discardQuestion(m_mod, *m_seams.messages, &m_window)) {
        return false;
    }
    const QString chosen =
        m_seams.fileDialogs->getOpenFileName(&m_window, prepareDialog(/*emptyName=*/true));
    if (!chosen.isEmpty()) {
        m_dialogFileName = chosen;
    }
    return isChoice(chosen) && openChosen(chosen);
}

bool FileCommands::openChosen(const QString& path) {
    if (!ReadCnf(path)) {
        return false;
    }
    m_mod.CnfPath = QDir::toNativeSeparators(path);
    m_window.ShowFileName();
    return true;
}

void FileCommands::showOpened() {
    m_window.ShowCnf();
    showKeys();
    m_mod.Modified = false;
}

void FileCommands::mnuFileSave_Click() {
    const bool written = m_mod.CnfPath == NoFile ? FileSaveAs() : WriteCnf(m_mod.CnfPath);
    // Only a completed write clears it: otherwise the edits would vanish at Exit unasked.
    if (written) {
        m_mod.Modified = false;
    }
}

void FileCommands::mnuFileSaveAs_Click() {
    if (FileSaveAs()) {
        m_mod.Modified = false;
    }
}

bool FileCommands::FileSaveAs() {
    const QString chosen =
        m_seams.fileDialogs->getSaveFileName(&m_window, prepareDialog(/*emptyName=*/false));
    if (!chosen.isEmpty()) {
        m_dialogFileName = chosen;
    }
    if (!isChoice(chosen) || !WriteCnf(chosen)) {
        return false;
    }
    m_mod.CnfPath = QDir::toNativeSeparators(chosen);
    m_window.ShowFileName();
    return true;
}

void FileCommands::mnuExit_Click() {
    m_window.close();
}

void FileCommands::Form_Unload(int& Cancel) {
    if (!discardQuestion(m_mod, *m_seams.messages, &m_window)) {
        Cancel = 1;
    }
}

bool FileCommands::ReadCnf(const QString& path) {
    QString reason;
    if (!loadCnfFile(m_mod, path, &reason)) {
        fileError(QStringLiteral("Unable To Open File"), path, reason);
        return false;
    }
    return true;
}

bool FileCommands::WriteCnf(const QString& path) {
    m_mod.PackKeys(m_window.txtOKey()->text(), m_window.txtIKey()->text());
    QString reason;
    if (!writeBrvFile(path, m_mod.Cnf, &reason)) {
        fileError(QStringLiteral("Unable To Save File"), path, reason);
        return false;
    }
    return true;
}

FileDialogRequest FileCommands::prepareDialog(bool emptyName) {
    if (emptyName) {
        m_dialogFileName.clear();
    }
    if (!m_mod.DialogUsed) {
        m_mod.DialogUsed = true;
        m_dialogFileName = firstDialogName();
    }
    FileDialogRequest request;
    request.fileName = m_dialogFileName;
    request.nameFilters = nameFilters();
    request.selectedNameFilter = request.nameFilters.constFirst();
    return request;
}

bool FileCommands::isChoice(const QString& fileName) {
    return !fileName.isEmpty() && QDir::cleanPath(fileName) != QDir::cleanPath(firstDialogName());
}

void FileCommands::fileError(const QString& action, const QString& path, const QString& reason) {
    Message message;
    message.text =
        action + QLatin1Char('\n') + QDir::toNativeSeparators(path) + QLatin1Char('\n') + reason;
    message.title = QStringLiteral("File Error");
    message.icon = QMessageBox::Critical;
    message.buttons = QMessageBox::Ok;
    message.defaultButton = QMessageBox::Ok;
    m_seams.messages->show(&m_window, message);
}

void FileCommands::showKeys() {
    m_window.txtOKey()->setText(m_mod.OKey);
    m_window.txtIKey()->setText(m_mod.IKey);
}
