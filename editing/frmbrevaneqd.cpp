#include "editing/frmbrevaneqd.h"

#include "editing/pickergrid.h"
#include "mainwindow/centring.h"
#include "mainwindow/windowfont.h"
#include "table/linktext.h"

frmBrevaneQD::frmBrevaneQD(ModBrevane& mod) : PickerWindow(mod, QSize(ClientWidth, ClientHeight)) {
    setObjectName(QStringLiteral("frmBrevaneQD"));
    setFont(brevaneFont(WindowFontPixels));
    Form_Load();
}

void frmBrevaneQD::Form_Load() {
    centreOnScreen(*this);
    for (int i = 0; i < Items; ++i) {
        // One cell down, so the top-left cell (no station 0) stays empty.
        m_lblQD.at(i) =
            addItem("lblQD", i, stationCaption(i), pickerGridCell(i + 1), WindowFontPixels);
    }
}
