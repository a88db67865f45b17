#pragma once
// The small dialog of the wallpaper page that sets how pictures meet the
// screen: one picture on every monitor or one each, the fit and the colour
// around the picture.

#include "project/ProjectFormat.h"

#include <QDialog>

class QComboBox;
class QPushButton;

class DisplayDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayDialog)
public:
    DisplayDialog(QWidget* parent, const plimbury::DisplaySettings& settings);

    plimbury::DisplaySettings settings() const { return m_settings; }

private:
    void showColour();
    void chooseColour();

    plimbury::DisplaySettings m_settings;
    QComboBox* m_monitors = nullptr;
    QComboBox* m_fit = nullptr;
    QPushButton* m_colour = nullptr;
};

// The caption of the wallpaper page's button: "Fit: fill...".
QString displayButtonCaption(const plimbury::DisplaySettings& settings);
