#include "editing/frmbrevanerelay.h"

#include "editing/pickeritem.h"
#include "mainwindow/windowfont.h"
#include "table/linktext.h"

frmBrevaneRelay::frmBrevaneRelay(ModBrevane& mod)
    : PickerWindow(mod, QSize(ClientWidth, ClientHeight)) {
    setObjectName(QStringLiteral("frmBrevaneRelay"));
    // Two columns of four: groups 0-3 on the left, 4-7 on the right.
    for (int g = 0; g < Groups; ++g) {
        const QRect at(g < 4 ? 8 : 64, 32 + 24 * (g % 4), 49, 19);
        m_lblRelay.at(g) = addItem("lblRelay", g, relayRangeCaption(g), at, RelayFontPixels);
    }
}
