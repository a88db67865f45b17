#include "app/DisplayDialog.h"

#include "widgets/LayoutFont.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

namespace {

struct FitChoice {
    plimbury::FitMode mode;
    const char* text;
};

constexpr FitChoice kFitChoices[] = {
    {plimbury::FitMode::Stretch, "stretch: the whole screen, shape not kept"},
    {plimbury::FitMode::Fill, "fill: the whole screen, the overflow cut off"},
    {plimbury::FitMode::Fit, "fit: the whole picture, bands around it"},
    {plimbury::FitMode::Center, "center: its own size, in the middle"},
    {plimbury::FitMode::Tile, "tile: its own size, repeated"},
};

} // namespace

DisplayDialog::DisplayDialog(QWidget* parent, const plimbury::DisplaySettings& settings)
    : QDialog(parent)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("DisplayDialog"));
    setWindowTitle(QStringLiteral("Pictures on the screen"));
    widgets::useLayoutFont(this);

    m_monitors = new QComboBox(this);
    m_monitors->setObjectName(QStringLiteral("ComboBox_monitors"));
    m_monitors->addItem(QStringLiteral("the same picture on every monitor"));
    m_monitors->addItem(QStringLiteral("a picture of its own on each monitor"));
    m_monitors->setCurrentIndex(settings.monitors == plimbury::MonitorMode::Each ? 1 : 0);
    connect(m_monitors, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_settings.monitors = index == 1 ? plimbury::MonitorMode::Each : plimbury::MonitorMode::Same;
    });

    m_fit = new QComboBox(this);
    m_fit->setObjectName(QStringLiteral("ComboBox_fit"));
    for (const FitChoice& choice : kFitChoices) {
        m_fit->addItem(QString::fromLatin1(choice.text));
        if (choice.mode == settings.fit)
            m_fit->setCurrentIndex(m_fit->count() - 1);
    }
    connect(m_fit, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings.fit = kFitChoices[index].mode;
    });

    m_colour = new QPushButton(this);
    m_colour->setObjectName(QStringLiteral("Button_colour"));
    connect(m_colour, &QPushButton::clicked, this, &DisplayDialog::chooseColour);
    showColour();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Monitors"), m_monitors);
    form->addRow(QStringLiteral("&Fit"), m_fit);
    form->addRow(QStringLiteral("&Around it"), m_colour);
    form->addRow(buttons);
    m_monitors->setFocus();
}

void DisplayDialog::showColour()
{
    const plimbury::Colour c = m_settings.background;
    const QColor colour(c.red, c.green, c.blue);
    m_colour->setText(QString::fromStdString(plimbury::colourText(c)));
    // The text stays readable on any colour.
    const QColor ink = colour.lightness() > 128 ? Qt::black : Qt::white;
    m_colour->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; }")
                                .arg(colour.name(), ink.name()));
}

void DisplayDialog::chooseColour()
{
    const plimbury::Colour c = m_settings.background;
    const QColor chosen = QColorDialog::getColor(QColor(c.red, c.green, c.blue), this);
    if (!chosen.isValid())
        return;
    m_settings.background = {static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                             static_cast<std::uint8_t>(chosen.blue())};
    showColour();
}

QString displayButtonCaption(const plimbury::DisplaySettings& settings)
{
    return QStringLiteral("Fit: %1...").arg(QLatin1String(plimbury::fitWord(settings.fit)));
}
