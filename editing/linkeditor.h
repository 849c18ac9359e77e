#pragma once

#include <QObject>

class ModBrevane;
class frmBrevaneMain;

// The six row commands: each writes one field of one link slot, marks the table modified
// and redraws every row. The node and reference labels first ask a picker.
class LinkEditor : public QObject {
    Q_OBJECT
public:
    LinkEditor(ModBrevane& mod, frmBrevaneMain& window, QObject* parent = nullptr);

public slots:
    void chkOLink_Click(int Index);
    void chkILink_Click(int Index);
    void lblOLinkType_Click(int Index);
    void lblOLinkNode_Click(int Index);
    void lblOLinkRef_Click(int Index);
    void lblILinkRef_Click(int Index);

private:
    ModBrevane& m_mod;
    frmBrevaneMain& m_window;
};
