#pragma once

#include <QString>
#include <functional>

class MessageBoxes;

// brevane FILE.BRV --report, from a file manager's right-click menu: the file's site
// record written beside it (as brevane-cli report writes it, the keys hidden) and shown
// by showPdf, the system's PDF viewer; no window. A failure, or no viewer to show it,
// is told in a message box. Returns the exit status: 0 when written, 2 when not.
int reportFromDesktop(const QString& brvPath, MessageBoxes& messages,
                      const std::function<bool(const QString& pdfPath)>& showPdf);
