#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <memory>
#include <optional>

#include "cli/clicore.h"
#include "record/recordpdf.h"

// brevane-cli report: a site record of a file as a PDF.

struct ReportSettings {
    QString output; // -o; empty: beside the file
    Paper paper = Paper::A4;
    bool showKeys = false;
};

// The application brevane-cli runs in: for report a QGuiApplication, which fonts and
// pages need (off Windows on the offscreen platform, so no display is needed); for every
// other command a QCoreApplication.
std::unique_ptr<QCoreApplication> cliApplication(int& argc, char** argv);

// report's options: -o FILE.pdf, --keys, --paper a4|letter.
void addReportOptions(QCommandLineParser& parser);
// What they ask for; nothing, with problem set, when one is wrong.
std::optional<ReportSettings> reportSettings(const QCommandLineParser& parser, QString* problem);

// Writes the record and names it on out; 2 when the file cannot be read or the PDF
// written, nothing written then.
int runReport(const QString& path, const ReportSettings& settings, Console& console);
