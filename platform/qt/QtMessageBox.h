#pragma once
// Message boxes over QMessageBox. On the UI thread a box is modal and its loop
// keeps serving sent messages; from a worker the UI thread shows it without
// blocking and the worker waits. A box closes with MessageBoxDismissAnswer when
// its owner window is destroyed, when DismissMessageBoxes names its owner, or
// when the program ends.

#include "platform/Win32Types.h"

class QMessageBox;

class QtMessageBox {
public:
    static void Install();
    static void Uninstall();

    static int Show(HWND owner, const wstring16 &text, const wstring16 &caption, UINT type);
    // Closes every box of the owner (null: every box) with its dismiss answer.
    static void Dismiss(HWND owner);

    // Builds the box a call would show (buttons, icon, default button).
    static QMessageBox *Build(HWND owner, const wstring16 &text, const wstring16 &caption, UINT type);
    // The answer of a closed box: the identifier of its clicked button, or the
    // dismiss answer when it was closed without one.
    static int AnswerOf(const QMessageBox *box, UINT type);
};
