#include "platform/filedialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QRegularExpression>
#include <memory>

QStringList windowsMatchingPatterns(const QString& nameFilter) {
    static const QRegularExpression details(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = details.match(nameFilter);
    const QString patternText = match.hasMatch() ? match.captured(1) : nameFilter;
    static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
    QStringList patterns;
    for (const QString& pattern : patternText.split(separators, Qt::SkipEmptyParts)) {
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {
            patterns << QStringLiteral("*");
        } else {
            patterns << pattern << pattern.toLower() << pattern.toUpper();
        }
    }
    patterns.removeDuplicates();
    return patterns;
}

namespace {

#ifndef Q_OS_WIN
// Qt's own dialog takes a filter entry's patterns literally, so "*.*" would hide names
// without a dot, and switching the entry of a Save dialog rewrites the extension in
// the name box. Give its file list the patterns Windows would use and leave the name
// box as the user left it.
void matchAsOnWindows(QFileDialog& dialog) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (model == nullptr) {
        return;
    }
    const auto applyPatterns = [&dialog, model] {
        model->setNameFilters(windowsMatchingPatterns(dialog.selectedNameFilter()));
    };
    applyPatterns();
    if (types != nullptr && name != nullptr) {
        // The entry changes before the dialog rewrites the name; the signal below comes after.
        auto typedName = std::make_shared<QString>();
        QObject::connect(types, &QComboBox::currentIndexChanged, &dialog,
                         [name, typedName] { *typedName = name->text(); });
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [name, typedName, applyPatterns] {
                             if (name->text() != *typedName) {
                                 name->setText(*typedName);
                             }
                             applyPatterns();
                         });
    } else {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyPatterns);
    }
}
#endif

QString runDialog(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
#ifndef Q_OS_WIN
    // The desktop's own dialogs match patterns case-sensitively and cannot be adjusted.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    if (!request.selectedNameFilter.isEmpty()) {
        dialog.selectNameFilter(request.selectedNameFilter);
    }
#ifndef Q_OS_WIN
    matchAsOnWindows(dialog);
#endif
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles().value(0);
}

} // namespace

QString SystemFileDialogs::getOpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return runDialog(parent, request, QFileDialog::AcceptOpen);
}

QString SystemFileDialogs::getSaveFileName(QWidget* parent, const FileDialogRequest& request) {
    return runDialog(parent, request, QFileDialog::AcceptSave);
}
