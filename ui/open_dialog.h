// The open-file dialog of File > Open.
#pragma once

#include <QStringList>
#include <memory>

class QFileDialog;
class QWidget;

// "Mpeg Audio (*.mp*)", the playlists, then all files.
QStringList GetOpenDialogFilters();

// The dialog, ready to run, in strFolder; several files may be chosen at
// once, for the queue. Its filter matches names in any
// case (.mp2, .MP2 and .Mp3 alike); it is the toolkit's own dialog, since
// the desktop's dialogs may match by case.
std::unique_ptr<QFileDialog> CreateOpenDialog(QWidget* pParent, const QString& strFolder);
