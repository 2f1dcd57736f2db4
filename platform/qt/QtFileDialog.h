#pragma once
// Open and save file dialogs over QFileDialog (Qt's own, the same on every
// desktop). Filters come in the "text|pattern|" form, the default extension is
// added to a bare file name, and the flags choose overwrite confirmation and
// whether the file must exist. From a worker the UI thread shows the dialog.

#include "platform/UserInterface.h"

class QFileDialog;

class QtFileDialog {
public:
    static void Install();
    static void Uninstall();

    static bool Run(const FileDialogRequest &request, wstring16 *path);

    // The dialog a request shows, set up but not shown.
    static QFileDialog *Build(const FileDialogRequest &request);
    // The chosen path of an accepted dialog, with the default extension applied.
    static wstring16 ChosenPath(const QFileDialog &dialog, const FileDialogRequest &request);
};
