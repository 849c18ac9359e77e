#pragma once

#include <QMainWindow>
#include <array>

#include "table/modbrevane.h"

class ClickLabel;
class KeyBox;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QScrollArea;

// The main window: 64 outgoing and 64 incoming link rows drawn from the table, the two
// key boxes, the menus, the current file's path and the transfer progress bar.
class frmBrevaneMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 1001;
    static constexpr int ClientHeight = 585;

    // Builds the window and runs its load step: centred, working folders prepared, the
    // table reset and drawn.
    explicit frmBrevaneMain(ModBrevane& mod, QWidget* parent = nullptr);

    ModBrevane& mod() { return m_mod; }

    // Redraws all 64 rows of both halves from the table. The row commands ignore the
    // check-box events this raises.
    void ShowCnf();
    void ShowOEnabled(int i);
    void ShowONode(int i);
    void ShowOType(int i);
    void ShowORef(int i);
    void ShowIEnabled(int i);
    void ShowIRef(int i);
    // lblFileName: one space and CnfPath.
    void ShowFileName();

    // The area below the menu bar, in which every control is placed.
    QWidget* client() const { return m_client; }
    // The view that scrolls the client area, from the first time the window at its
    // screen's scale was too large for the screen's work area; null until then.
    QScrollArea* scroller() const { return m_scroller; }

    QCheckBox* chkOLink(int i) const { return m_chkOLink.at(i); }
    ClickLabel* lblOLinkNode(int i) const { return m_lblOLinkNode.at(i); }
    ClickLabel* lblOLinkType(int i) const { return m_lblOLinkType.at(i); }
    ClickLabel* lblOLinkRef(int i) const { return m_lblOLinkRef.at(i); }
    QCheckBox* chkILink(int i) const { return m_chkILink.at(i); }
    ClickLabel* lblILinkRef(int i) const { return m_lblILinkRef.at(i); }

    KeyBox* txtOKey() const { return m_txtOKey; }
    KeyBox* txtIKey() const { return m_txtIKey; }
    QLabel* lblFileName() const { return m_lblFileName; }
    QProgressBar* prgUpDown() const { return m_prgUpDown; }

    QMenu* mnuFile() const { return m_mnuFile; }
    QAction* mnuFileNew() const { return m_mnuFileNew; }
    QAction* mnuFileOpen() const { return m_mnuFileOpen; }
    QAction* mnuFileSave() const { return m_mnuFileSave; }
    QAction* mnuFileSaveAs() const { return m_mnuFileSaveAs; }
    QAction* mnuExit() const { return m_mnuExit; }
    QMenu* mnuComPortOpen() const { return m_mnuComPortOpen; }
    QAction* mnuComPort(int index) const { return m_mnuComPort.at(index); }
    QAction* mnuDownload() const { return m_mnuDownload; }
    QAction* mnuUpload() const { return m_mnuUpload; }

    // The one local *.BRV file (either case) a drag carries; empty for anything else.
    static QString droppedBrvFile(const QMimeData* data);

signals:
    // Raised by every closing of the window (close box or Exit). A handler sets Cancel
    // to 1 to keep the window open.
    void unloading(int& Cancel);
    // One *.BRV file was dropped on the window; anything else is refused while dragged.
    void fileDropped(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Form_Load();
    void buildMenus();
    void buildFixedControls();
    void buildRows();
    // Keeps every row reachable on a screen too small for the window: the client area is
    // then seen through a scrolling view, and the window fills the work area.
    void fitToScreen();

    ModBrevane& m_mod;
    QWidget* m_client = nullptr;
    QScrollArea* m_scroller = nullptr;

    std::array<QCheckBox*, LinkSlots> m_chkOLink{};
    std::array<ClickLabel*, LinkSlots> m_lblOLinkNode{};
    std::array<ClickLabel*, LinkSlots> m_lblOLinkType{};
    std::array<ClickLabel*, LinkSlots> m_lblOLinkRef{};
    std::array<QCheckBox*, LinkSlots> m_chkILink{};
    std::array<ClickLabel*, LinkSlots> m_lblILinkRef{};

    KeyBox* m_txtOKey = nullptr;
    KeyBox* m_txtIKey = nullptr;
    QLabel* m_lblFileName = nullptr;
    QProgressBar* m_prgUpDown = nullptr;

    QMenu* m_mnuFile = nullptr;
    QAction* m_mnuFileNew = nullptr;
    QAction* m_mnuFileOpen = nullptr;
    QAction* m_mnuFileSave = nullptr;
    QAction* m_mnuFileSaveAs = nullptr;
    QAction* m_mnuExit = nullptr;
    QMenu* m_mnuComPortOpen = nullptr;
    std::array<QAction*, ComPorts> m_mnuComPort{};
    QAction* m_mnuDownload = nullptr;
    QAction* m_mnuUpload = nullptr;
};
