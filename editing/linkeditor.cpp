#include "editing/linkeditor.h"

#include <QCheckBox>

#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"
#include "table/modbrevane.h"

namespace {

// A picker shown by a command reports a picked index, or a negative value for no choice.
bool picked(int pickResult) {
    return pickResult >= 0;
}

} // namespace

LinkEditor::LinkEditor(ModBrevane& mod, frmBrevaneMain& window, QObject* parent)
    : QObject(parent), m_mod(mod), m_window(window) {
    // toggled also fires when the redraw sets a box; the commands' Refreshing test makes
    // those events inert.
    for (int i = 0; i < LinkSlots; ++i) {
        connect(window.chkOLink(i), &QCheckBox::toggled, this, [this, i] { chkOLink_Click(i); });
        connect(window.chkILink(i), &QCheckBox::toggled, this, [this, i] { chkILink_Click(i); });
        connect(window.lblOLinkType(i), &ClickLabel::clicked, this,
                [this, i] { lblOLinkType_Click(i); });
        connect(window.lblOLinkNode(i), &ClickLabel::clicked, this,
                [this, i] { lblOLinkNode_Click(i); });
        connect(window.lblOLinkRef(i), &ClickLabel::clicked, this,
                [this, i] { lblOLinkRef_Click(i); });
        connect(window.lblILinkRef(i), &ClickLabel::clicked, this,
                [this, i] { lblILinkRef_Click(i); });
    }
}

void LinkEditor::chkOLink_Click(int Index) {
    if (m_mod.Refreshing) {
        return;
    }
    m_mod.Modified = true;
    m_mod.field(Index, OEnabled) = m_window.chkOLink(Index)->isChecked() ? 1 : 0;
    m_window.ShowCnf();
}

void LinkEditor::chkILink_Click(int Index) {
    if (m_mod.Refreshing) {
        return;
    }
    m_mod.Modified = true;
    m_mod.field(Index, IEnabled) = m_window.chkILink(Index)->isChecked() ? 1 : 0;
    m_window.ShowCnf();
}

void LinkEditor::lblOLinkType_Click(int Index) {
    if (m_mod.Refreshing || m_mod.field(Index, OEnabled) == 0) {
        return;
    }
    m_mod.Modified = true;
    // On the stored byte, so a value a file brought in above 2 lands in 0..2. ORef stays:
    // the new type reads it as its own kind of reference.
    std::uint8_t& type = m_mod.field(Index, OType);
    type = static_cast<std::uint8_t>((type + 1) % 3);
    m_window.ShowCnf();
}

void LinkEditor::lblOLinkNode_Click(int Index) {
    if (m_mod.Refreshing || m_mod.field(Index, OEnabled) == 0) {
        return;
    }
    // Set before the picker opens: a cancelled pick still counts as a change.
    m_mod.Modified = true;
    {
        frmBrevaneNode picker(m_mod);
        picker.exec();
    }
    if (picked(m_mod.PickResult)) {
        m_mod.field(Index, ONode) = static_cast<std::uint8_t>(m_mod.PickResult);
    }
    m_window.ShowCnf();
}

void LinkEditor::lblOLinkRef_Click(int Index) {
    if (m_mod.Refreshing || m_mod.field(Index, OEnabled) == 0) {
        return;
    }
    m_mod.Modified = true;
    bool shown = false;
    switch (m_mod.field(Index, OType)) {
    case 0:
    case 1: {
        frmBrevaneQD picker(m_mod);
        shown = true;
        picker.exec();
        break;
    }
    case 2: {
        // At the clicked label: the main window's outer corner plus the label's place in
        // the client area. Deliberately not kept inside the screen.
        frmBrevaneRelay picker(m_mod);
        const QPoint inClient = m_window.lblOLinkRef(Index)->mapTo(m_window.client(), QPoint());
        picker.move(m_window.frameGeometry().topLeft() + inClient);
        shown = true;
        picker.exec();
        break;
    }
    default:
        // Only a file or the controller can bring such a type; the label then only redraws.
        break;
    }
    if (shown && picked(m_mod.PickResult)) {
        m_mod.field(Index, ORef) = static_cast<std::uint8_t>(m_mod.PickResult);
    }
    m_window.ShowCnf();
}

void LinkEditor::lblILinkRef_Click(int Index) {
    if (m_mod.Refreshing || m_mod.field(Index, IEnabled) == 0) {
        return;
    }
    m_mod.Modified = true;
    {
        frmBrevaneQD picker(m_mod);
        picker.exec();
    }
    if (picked(m_mod.PickResult)) {
        m_mod.field(Index, IRef) = static_cast<std::uint8_t>(m_mod.PickResult);
    }
    m_window.ShowCnf();
}
