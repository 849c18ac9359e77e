#include "editing/frmbrevanenode.h"

#include "editing/pickergrid.h"
#include "mainwindow/centring.h"
#include "mainwindow/windowfont.h"
#include "table/hextext.h"

frmBrevaneNode::frmBrevaneNode(ModBrevane& mod)
    : PickerWindow(mod, QSize(ClientWidth, ClientHeight)) {
    setObjectName(QStringLiteral("frmBrevaneNode"));
    Form_Load();
}

void frmBrevaneNode::Form_Load() {
    centreOnScreen(*this);
    for (int i = 0; i < Items; ++i) {
        const QString caption = i == 0 ? QStringLiteral("NC") : QString::fromLatin1(Hex2(i));
        m_lblQD.at(i) = addItem("lblQD", i, caption, pickerGridCell(i), WindowFontPixels);
    }
}
