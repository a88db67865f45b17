#pragma once
// How the editors report errors. The editors sit below the application
// library, so they cannot call its error report directly; the application
// installs it here at start-up. Until then a plain error message box is used.

#include <functional>
#include <string>

class QWidget;

namespace editors {

using ErrorReporter = std::function<void(QWidget* parent, const std::string& text)>;

// Replaces the error report (an empty function restores the default).
void setErrorReporter(ErrorReporter reporter);

// Shows `text` through the installed error report.
void reportError(QWidget* parent, const std::string& text);

// Runs a handler body; an exception it throws goes to reportError, so that
// none crosses into the event loop.
void guarded(QWidget* parent, const std::function<void()>& body);

} // namespace editors
