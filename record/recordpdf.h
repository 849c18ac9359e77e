#pragma once

#include <QByteArray>
#include <QString>

#include "record/siterecord.h"

// The site record on paper: its pages as a PDF in the window's font, and the one step
// that turns a *.BRV file into SITE.pdf. Needs a QGuiApplication (fonts), no widgets.

enum class Paper { A4, Letter };

// Letter where the system measures in US units, else A4.
Paper defaultPaper();

// The record's pages: two for a full table on either paper, each with "Page n of N",
// the hand-filled box at the end. pages, when given, is set to their number.
QByteArray siteRecordPdf(const SiteRecord& record, Paper paper, int* pages = nullptr);

// SITE.pdf beside SITE.BRV (the name's last suffix replaced).
QString recordPathBeside(const QString& brvPath);

struct RecordRequest {
    QString brvPath;
    QString pdfPath; // empty: recordPathBeside(brvPath)
    Paper paper = Paper::A4;
    bool showKeys = false;
    QString program; // who prints it: "brevane-cli 1.0.0"
};

struct RecordOutcome {
    QString pdfPath; // what was (or would have been) written, native separators
    int pages = 0;
    QString error; // empty when written: "cannot read ...: why", "cannot write ...: why"
};

// Reads the file, lays out its record and writes it in one step: a file that cannot be
// read or a PDF that cannot be written leaves nothing behind, and a PDF already there
// keeps every byte until the new one is complete.
RecordOutcome makeSiteRecord(const RecordRequest& request);
