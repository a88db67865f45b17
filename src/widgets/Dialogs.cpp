#include "widgets/Dialogs.h"

#include "platform/Error.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace dialogs {
namespace {

bool g_recordOnly = false;
std::vector<Shown> g_shown;
// Outer optional: whether a test armed the next dialog; inner: its answer.
std::optional<std::optional<QString>> g_nextFileName;

QString caption()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

void show(QWidget* parent, bool isError, const std::string& text)
{
    if (g_recordOnly) {
        g_shown.push_back({isError, text});
        return;
    }
    QMessageBox box(isError ? QMessageBox::Critical : QMessageBox::NoIcon, caption(),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> takeArmedAnswer(bool& armed)
{
    armed = g_nextFileName.has_value();
    if (!armed)
        return std::nullopt;
    std::optional<QString> answer = *g_nextFileName;
    g_nextFileName.reset();
    return answer;
}

std::optional<QString> runFileDialog(QWidget* parent, FileDialogSettings& settings, bool forSaving)
{
    bool armed = false;
    std::optional<QString> answer = takeArmedAnswer(armed);
    if (armed) {
        if (answer)
            settings.fileName = *answer;
        return answer;
    }

    // Qt's own dialog behaves the same on every desktop: a name that does not
    // exist yet is accepted by Open, the default suffix is added alike.
    QFileDialog dialog(parent, QString(), settings.initialFolder, settings.filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    if (!settings.fileName.isEmpty())
        dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    settings.fileName = chosen.front();
    return settings.fileName;
}

} // namespace

void showError(QWidget* parent, const std::string& text)
{
    show(parent, true, plimbury::errorReportText(text));
}

void showMessage(QWidget* parent, const std::string& text)
{
    show(parent, false, text);
}

std::optional<QString> runOpenDialog(QWidget* parent, FileDialogSettings& settings)
{
    return runFileDialog(parent, settings, false);
}

std::optional<QString> runSaveDialog(QWidget* parent, FileDialogSettings& settings)
{
    return runFileDialog(parent, settings, true);
}

void guarded(QWidget* parent, const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        showError(parent, e.what());
    } catch (...) {
        // Nothing may leave an event handler; an unknown failure still gets its report.
        showError(parent, "Unexpected error");
    }
}

void setNextFileName(std::optional<QString> name)
{
    g_nextFileName.emplace(std::move(name));
}

void setRecordOnly(bool on)
{
    g_recordOnly = on;
}

std::vector<Shown> takeShown()
{
    std::vector<Shown> out;
    out.swap(g_shown);
    return out;
}

} // namespace dialogs
