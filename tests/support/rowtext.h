#pragma once

#include <QCheckBox>
#include <QStringList>
#include <algorithm>

#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"

// A row as the window shows it: each half's state, its labels' colour and captions.
inline QString rowOf(const frmBrevaneMain& w, int slot) {
    const auto half = [](const QCheckBox* box, const QList<const ClickLabel*>& labels) {
        const QColor colour = box->isChecked() ? QColor(0, 0, 0) : QColor(0xC0, 0xC0, 0xC0);
        const bool wrong = std::any_of(labels.begin(), labels.end(), [&](const ClickLabel* label) {
            return label->foreColor() != colour;
        });
        return QString(box->isChecked() ? "on" : "off") + (wrong ? " (wrong colour)" : "");
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
