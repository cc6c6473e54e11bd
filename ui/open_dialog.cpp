// The open-file dialog.
#include "ui/open_dialog.h"

#include <QFileDialog>

#include "resources/command_table.h"

QStringList GetOpenDialogFilters() {
    return {QString::fromUtf8(kOpenFilterName), QString::fromUtf8(kPlaylistFilterName),
            QString::fromUtf8(kAllFilesFilterName)};
}

std::unique_ptr<QFileDialog> CreateOpenDialog(QWidget* pParent, const QString& strFolder) {
    auto pDialog = std::make_unique<QFileDialog>(pParent, QString(), strFolder);
    pDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    pDialog->setAcceptMode(QFileDialog::AcceptOpen);
    pDialog->setFileMode(QFileDialog::ExistingFiles);
    pDialog->setNameFilters(GetOpenDialogFilters());
    // Without QDir::CaseSensitive the name filters ignore case.
    pDialog->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    return pDialog;
}
