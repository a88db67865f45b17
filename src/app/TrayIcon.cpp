#include "app/TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(const QIcon& icon, QMenu* menu, QAction* setup, QAction* exit, QObject* parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(icon, this))
{
    m_icon->setContextMenu(menu);
    connect(setup, &QAction::triggered, this, &TrayIcon::setupRequested);
    connect(exit, &QAction::triggered, this, &TrayIcon::exitRequested);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Trigger is the left button going down; a double click has already
        // been answered by its first press, and the context menu opens by itself.
        if (reason == QSystemTrayIcon::Trigger)
            emit leftClicked();
    });
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::add(const QString& tip)
{
    m_icon->setToolTip(tip);
    m_icon->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::remove()
{
    m_icon->hide();
}

bool TrayIcon::isPresent() const
{
    return m_icon->isVisible();
}

QString TrayIcon::tip() const
{
    return m_icon->toolTip();
}
