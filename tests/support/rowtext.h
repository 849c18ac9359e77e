#pragma once

#include <QCheckBox>
#include <QStringList>

#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"

// A row as the window shows it: each half's state, its labels' colour and captions.
inline QString rowOf(const frmBrevaneMain& w, int slot) {
    const auto half = [](const QCheckBox* box, const QList<const ClickLabel*>& labels) {
        QString shown = box->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
        for (const ClickLabel* label : labels) {
            if (label->foreColor() !=
                (box->isChecked() ? QColor(0, 0, 0) : QColor(0xC0, 0xC0, 0xC0))) {
                shown += QStringLiteral(" (wrong colour)");
            }
        }
        return shown;
    };
    return QStringList{
        half(w.chkOLink(slot), {w.lblOLinkNode(slot), w.lblOLinkType(slot), w.lblOLinkRef(slot)}),
        w.lblOLinkNode(slot)->text(),
        w.lblOLinkType(slot)->text(),
        w.lblOLinkRef(slot)->text(),
        half(w.chkILink(slot), {w.lblILinkRef(slot)}),
        w.lblILinkRef(slot)->text()}
        .join(QLatin1Char('|'));
}
