#pragma once

#include <QCoreApplication>
#include <QString>
#include <memory>

#include "cli/clicore.h"
#include "record/recordpdf.h"

// brevane-cli report: a site record of a file as a PDF.

struct ReportSettings {
    QString output; // -o; empty: beside the file
    Paper paper = defaultPaper();
    bool showKeys = false;
};

// The application brevane-cli runs in: for report a QGuiApplication, which fonts and
// pages need (off Windows on the offscreen platform, so no display is needed); for every
// other command a QCoreApplication.
std::unique_ptr<QCoreApplication> cliApplication(int& argc, char** argv);

// Writes the record and names it on out; 2 when the file cannot be read or the PDF
// written, nothing written then.
int runReport(const QString& path, const ReportSettings& settings, Console& console);
