#include "EditorErrors.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <exception>
#include <utility>

namespace editors {

namespace {
ErrorReporter& installed()
{
    static ErrorReporter reporter;
    return reporter;
}
} // namespace

void setErrorReporter(ErrorReporter reporter)
{
    installed() = std::move(reporter);
}

void reportError(QWidget* parent, const std::string& text)
{
    if (installed()) {
        installed()(parent, text);
        return;
    }
    QMessageBox::critical(parent, QCoreApplication::applicationName(), QString::fromStdString(text));
}

void guarded(QWidget* parent, const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        reportError(parent, e.what());
    }
}

} // namespace editors
