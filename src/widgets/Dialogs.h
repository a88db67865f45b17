#pragma once
// Every message box and file dialog of the program goes through here, so that
// window tests can answer them without blocking (setNext...).

#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace dialogs {

// The standard error report: a message box with the application's title as
// caption, an error icon and an OK button; a period is appended when the
// text's last character sorts after the period (letters and digits do).
void showError(QWidget* parent, const std::string& text);

// The program's own messages: a plain message box with an OK button.
void showMessage(QWidget* parent, const std::string& text);

struct FileDialogSettings {
    QString initialFolder;
    QString defaultSuffix = QStringLiteral("lmv");
    QString filter = QStringLiteral("*.lmv (*.lmv)");
    QString fileName;   // the last name chosen; kept between runs of the dialog
};

// Modal open/save dialogs: the open dialog accepts a name that does not exist,
// the save dialog does not ask before overwriting. On OK the chosen full path
// is stored in settings.fileName and returned; nullopt when cancelled.
std::optional<QString> runOpenDialog(QWidget* parent, FileDialogSettings& settings);
std::optional<QString> runSaveDialog(QWidget* parent, FileDialogSettings& settings);

// Runs a handler body; any exception it throws goes to showError (once, here).
void guarded(QWidget* parent, const std::function<void()>& body);

// --- Test hooks -------------------------------------------------------------
// When set, the next file dialog does not open and answers with this name
// (an empty optional means "cancelled").
void setNextFileName(std::optional<QString> name);
// When enabled, message boxes are not shown; their texts are recorded instead.
void setRecordOnly(bool on);
struct Shown {
    bool isError;
    std::string text;   // as shown (after the period rule)
};
std::vector<Shown> takeShown();

} // namespace dialogs
