// Driving a real dialog of this process from outside: a thread that waits
// for the dialog window, then acts on it with synthesised X input (xdotool on
// the X display, the way a user's keyboard would), while the test's thread
// sits in the dialog's modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

class DialogDriver {
public:
    using Script = std::function<void(HWND dialog)>;
    // Starts waiting for a dialog of this process that is not yet in front.
    explicit DialogDriver(Script script);
    // Waits for the script to finish.
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Whether the dialog appeared and the script ran to its end.
    bool Finished();

private:
    std::thread thread_;
    bool finished_ = false;
};

// ---- What scripts do ------------------------------------------------------------------

// A visible top-level dialog (#32770) of this process, or nil.
HWND FindProcessDialog();
// The file-name field of a file dialog: the combo box of the explorer-style
// dialog, or the edit field that takes its place in Wine's.
HWND FileNameField(HWND dialog);
// The window's text (a control's caption).
std::wstring WindowText(HWND window);
// Runs a program of the Linux side (argv as a shell command line) and waits
// for it, at most 30 s.
bool RunUnixCommand(const std::string& command);
// Gives the X focus to the window and types the text as key strokes (the
// characters are entered by their key symbols, Japanese included).
bool TypeInto(HWND window, const std::wstring& text);
// Presses keys ("Return", "Escape", "ctrl+a") in the window.
bool PressKeys(HWND window, const std::string& keys);
// Types text into the dialog's file-name field until the field holds it
// (other programs on the display may take the focus meanwhile), then
// presses Return. False when the field never held it.
bool EnterFileName(HWND dialog, const std::wstring& name);
// Clicks the file's name in the dialog's file list with the mouse until the
// file-name field holds it, then presses Return. (Characters outside the X
// keyboard map, Japanese among them, do not reach Wine's windows as key
// strokes without an input method, so such names are chosen this way.)
bool ClickFileName(HWND dialog, const std::wstring& name);
// Waits (at most 5 s) for the dialog to close; false when it stays.
bool WaitClosed(HWND dialog);
// Waits (at most 10 s) until the folder browser's tree has the item of that
// text selected.
bool WaitForTreeSelection(HWND dialog, const std::wstring& text);
// Ends a dialog that a failed script left open.
void CancelDialog(HWND dialog);
