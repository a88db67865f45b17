#include "app/TForm1.h"

#include "app/DesktopNotice.h"
#include "app/DisplayDialog.h"
#include "app/Skin.h"
#include "app/TmyImage.h"
#include "app/TrayIcon.h"
#include "app/WindowSystem.h"
#include "widgets/LayoutFont.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/Startup.h"
#include "platform/System.h"
#include "project/ProjectCommands.h"
#include "rotation/RotationRunner.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QPainter>
#include <QRadioButton>
#include <QShowEvent>
#include <QWindow>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kClientWidth = 790;
constexpr int kClientHeight = 564;

using Row = std::optional<std::pair<plimbury::Unit, std::string>>;

void applyInterval(QRadioButton* const (&radios)[3], QLineEdit* const (&edits)[3], const Row& interval)
{
    if (!interval)
        return;   // an unknown unit word leaves the group as it was
    const int row = static_cast<int>(interval->first);
    edits[row]->setEnabled(true);
    edits[row]->setText(QString::fromStdString(interval->second));
    for (int i = 0; i < 3; ++i) {
        if (i != row)
            edits[i]->setEnabled(false);
    }
    radios[row]->setChecked(true);
}

plimbury::IntervalGroup intervalGroup(const QLineEdit* minute, const QLineEdit* hour, const QLineEdit* day)
{
    plimbury::IntervalGroup group;
    const QLineEdit* const edits[] = {minute, hour, day};
    for (std::size_t i = 0; i < 3; ++i) {
        group.enabled[i] = edits[i]->isEnabled();
        group.texts[i] = edits[i]->text().toStdString();
    }
    return group;
}

} // namespace

TForm1::TForm1(const AppServices& services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(skin::applicationIcon());
    setFixedSize(kClientWidth, kClientHeight);
    widgets::useLayoutFont(this);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    // Outside its rounded region the window is see-through: X11 cuts it to
    // the mask, but Wayland only stops input there and would still draw the
    // rest of the rectangle (paintEvent fills the region alone).
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAutoFillBackground(false);
    // Hints also while another window has the focus: a window started for the
    // tray, or one shown again from it, is often not the active one.
    setAttribute(Qt::WA_AlwaysShowToolTips, true);

    const std::pair<QTimer*, const char*> timers[] = {
        {&Timer1, "Timer1"}, {&Timer2, "Timer2"}, {&Timer3, "Timer3"}, {&Timer6, "Timer6"}, {&Timer7, "Timer7"}};
    for (const auto& [timer, name] : timers) {
        // Children by name, as every control is; being members, they leave
        // the window's children before it deletes the rest.
        timer->setParent(this);
        timer->setObjectName(QLatin1String(name));
        timer->setInterval(1000);
    }

    createRunner();
    createControls();
    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::setEditors(Twall* wall, Tscreensaver* screensaver)
{
    m_wall = wall;
    m_screensaver = screensaver;
}

TmyImage* TForm1::makePicture(const char* name, const QString& picture, int left, int top)
{
    auto* image = new TmyImage(this);
    image->setObjectName(QLatin1String(name));
    image->setPictureFile(picture);
    image->move(left, top);
    return image;
}

QGroupBox* TForm1::makeIntervalGroup(const char* name, const QString& caption,
                                     QRadioButton** radios[3], QLineEdit** edits[3], QLabel** labels[3])
{
    auto* group = new QGroupBox(caption, this);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(112, 272, 233, 145);
    QPalette info = group->palette();
    info.setColor(QPalette::Window, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::WindowText, info.color(QPalette::ToolTipText));
    group->setPalette(info);
    group->setAutoFillBackground(true);

    static const int radioTops[3] = {32, 68, 104};
    static const int editTops[3] = {33, 68, 105};
    static const int labelTops[3] = {35, 70, 107};
    static const char* const units[3] = {"Minute(1--60)", "hour    (1--24)", "day     (1--31)"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QStringLiteral("Refresh    per"), group);
        radio->setGeometry(8, radioTops[i], 89, 17);
        auto* edit = new QLineEdit(QStringLiteral("0"), group);
        edit->setGeometry(104, editTops[i], 49, 21);
        auto* label = new QLabel(QLatin1String(units[i]), group);
        label->move(165, labelTops[i]);
        label->adjustSize();
        *radios[i] = radio;
        *edits[i] = edit;
        *labels[i] = label;
    }
    return group;
}

void TForm1::createControls()
{
    // Creation order is stacking order: the background first, then each idle
    // picture with its lit twin above it.
    Image_bg = makePicture("Image_bg", skin::picture("Image_bg"), 71, 79);
    Image_bg->setMask(windowRegion().translated(-Image_bg->pos()));

    struct Pair {
        TmyImage** idle;
        const char* idleName;
        TmyImage** lit;
        const char* litName;
        int left, top;
        const char* hint;
    };
    const Pair pairs[] = {
        {&myImage_nb, "myImage_nb", &myImage_n, "myImage_n", 370, 129, "Creat  a  new  project"},
        {&myImage_ob, "myImage_ob", &myImage_o, "myImage_o", 432, 129, "Open  a  exit  project"},
        {&myImage_sb, "myImage_sb", &myImage_s, "myImage_s", 496, 129, "Save project"},
        {&myImage_faqb, "myImage_faqb", &myImage_faq, "myImage_faq", 559, 129, "Help!!!"},
        {&myImage_done, "myImage_done", &myImage_donet, "myImage_donet", 144, 440, "Save  and  Run"},
        {&myImage_exit, "myImage_exit", &myImage_exitt, "myImage_exitt", 240, 440, "Abandon  and  Exit"},
        {&myImage_ww, "myImage_ww", &myImage_wr, "myImage_wr", 138, 134, "setup wallpaper"},
        {&myImage_sw, "myImage_sw", &myImage_sr, "myImage_sr", 279, 132, "setup screensaver"},
    };
    for (const Pair& p : pairs) {
        *p.idle = makePicture(p.idleName, skin::picture(p.idleName), p.left, p.top);
        TmyImage* lit = makePicture(p.litName, skin::picture(p.litName), p.left, p.top);
        lit->setHandCursor(true);
        lit->setHintText(QLatin1String(p.hint));
        lit->hide();
        *p.lit = lit;
    }

    myImage_sel_wall = makePicture("myImage_sel_wall", skin::picture("myImage_sel_wall"), 160, 200);
    myImage_sel_wall->setHandCursor(true);
    myImage_sel_wall->setHintText(QStringLiteral("creat a wallpaper list for display"));
    myImage_sel_scr = makePicture("myImage_sel_scr", skin::picture("myImage_sel_scr"), 160, 200);
    myImage_sel_scr->setHandCursor(true);
    myImage_sel_scr->setHintText(QStringLiteral("creat a screensaver list for display"));
    myImage_sel_scr->hide();

    FileListBox1 = new SortedListBox(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(357, 192, 377, 329);
    FileListBox2 = new SortedListBox(this);
    FileListBox2->setObjectName(QStringLiteral("FileListBox2"));
    FileListBox2->setGeometry(357, 192, 377, 329);
    FileListBox2->hide();
    // The lists take the colours of the skin's night sky.
    for (SortedListBox* list : {FileListBox1, FileListBox2}) {
        QPalette night = list->palette();
        night.setColor(QPalette::Base, QColor(0x10, 0x1b, 0x38));
        night.setColor(QPalette::AlternateBase, QColor(0x15, 0x23, 0x45));
        night.setColor(QPalette::Text, QColor(0xdf, 0xe8, 0xf7));
        night.setColor(QPalette::Highlight, QColor(0xff, 0xc2, 0x4d));
        night.setColor(QPalette::HighlightedText, QColor(0x1a, 0x23, 0x42));
        list->setPalette(night);
        list->setFrameShape(QFrame::NoFrame);
    }

    {
        QRadioButton** radios[3] = {&RadioButton1, &RadioButton2, &RadioButton3};
        QLineEdit** edits[3] = {&Edit1, &Edit2, &Edit3};
        QLabel** labels[3] = {&Label1, &Label2, &Label3};
        GroupBox_wall = makeIntervalGroup("GroupBox_wall", QStringLiteral("Setup  Wallpaper"), radios, edits, labels);
    }
    {
        QRadioButton** radios[3] = {&RadioButton4, &RadioButton5, &RadioButton6};
        QLineEdit** edits[3] = {&Edit4, &Edit5, &Edit6};
        QLabel** labels[3] = {&Label4, &Label5, &Label6};
        GroupBox_scr = makeIntervalGroup("GroupBox_scr", QStringLiteral("Setup  Screensaver"), radios, edits, labels);
    }
    GroupBox_scr->hide();

    // The display settings, one click from the wallpaper page, in the
    // colours of the skin's captions.
    Button_display = new QPushButton(this);
    Button_display->setObjectName(QStringLiteral("Button_display"));
    Button_display->setGeometry(250, 244, 95, 22);
    Button_display->setCursor(Qt::PointingHandCursor);
    Button_display->setToolTip(QStringLiteral("How pictures meet the screen"));
    Button_display->setStyleSheet(QStringLiteral(
        "QPushButton { color: #c9d6ee; background: transparent; border: 1px solid rgba(201, 214, 238, 110);"
        " border-radius: 4px; padding: 0 4px; }"
        "QPushButton:hover, QPushButton:focus { color: #ffc24d; border-color: #ffc24d; }"));
    Button_display->setText(displayButtonCaption({}));

    const char* const names[] = {"RadioButton", "Edit", "Label"};
    QWidget* const rows[3][6] = {
        {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6},
        {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6},
        {Label1, Label2, Label3, Label4, Label5, Label6},
    };
    for (int kind = 0; kind < 3; ++kind) {
        for (int i = 0; i < 6; ++i)
            rows[kind][i]->setObjectName(QLatin1String(names[kind]) + QString::number(i + 1));
    }

    OpenDialog1.defaultSuffix = SaveDialog1.defaultSuffix = QStringLiteral("lmv");
    OpenDialog1.filter = SaveDialog1.filter = QStringLiteral("*.lmv (*.lmv)");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Setup1 = PopupMenu1->addAction(QStringLiteral("Setup"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    Exit1 = PopupMenu1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    m_tray = new TrayIcon(skin::applicationIcon(), PopupMenu1, Setup1, Exit1, this);
    m_notice = new DesktopNotice(m_services.notificationBus, this);
}

void TForm1::connectHandlers()
{
    // Every handler runs inside the one guard: whatever it throws ends in the
    // error report, never in Qt's event loop.
    const auto guard = [this](void (TForm1::*handler)()) {
        return [this, handler] { dialogs::guarded(this, [&] { (this->*handler)(); }); };
    };

    Image_bg->OnMouseDown = [this](Qt::MouseButton button) {
        dialogs::guarded(this, [&] { Image_bgMouseDown(button); });
    };
    Image_bg->installEventFilter(this);

    struct Hover {
        TmyImage* idle;
        void (TForm1::*move)();
        TmyImage* lit;
        void (TForm1::*leave)();
        void (TForm1::*click)();
    };
    const Hover hovers[] = {
        {myImage_nb, &TForm1::myImage_nbMouseMove, myImage_n, &TForm1::myImage_nMouseLeave, &TForm1::myImage_nClick},
        {myImage_ob, &TForm1::myImage_obMouseMove, myImage_o, &TForm1::myImage_oMouseLeave, &TForm1::myImage_oClick},
        {myImage_sb, &TForm1::myImage_sbMouseMove, myImage_s, &TForm1::myImage_sMouseLeave, &TForm1::myImage_sClick},
        {myImage_faqb, &TForm1::myImage_faqbMouseMove, myImage_faq, &TForm1::myImage_faqMouseLeave,
         &TForm1::myImage_faqClick},
        {myImage_done, &TForm1::myImage_doneMouseMove, myImage_donet, &TForm1::myImage_donetMouseLeave,
         &TForm1::myImage_donetClick},
        {myImage_exit, &TForm1::myImage_exitMouseMove, myImage_exitt, &TForm1::myImage_exittMouseLeave,
         &TForm1::myImage_exittClick},
        {myImage_ww, &TForm1::myImage_wwMouseMove, myImage_wr, &TForm1::myImage_wrMouseLeave,
         &TForm1::myImage_wrClick},
        {myImage_sw, &TForm1::myImage_swMouseMove, myImage_sr, &TForm1::myImage_srMouseLeave,
         &TForm1::myImage_srClick},
    };
    for (const Hover& h : hovers) {
        h.idle->OnMouseMove = guard(h.move);
        h.lit->OnMouseLeave = guard(h.leave);
        h.lit->OnClick = guard(h.click);
    }
    myImage_sel_wall->OnClick = guard(&TForm1::myImage_sel_wallClick);
    myImage_sel_scr->OnClick = guard(&TForm1::myImage_sel_scrClick);
    connect(Button_display, &QPushButton::clicked, this, guard(&TForm1::Button_displayClick));

    // A radio button's handler runs when it becomes checked, by a click, the
    // keyboard or code; clicking the one already checked runs nothing.
    const std::pair<QRadioButton*, void (TForm1::*)()> radios[] = {
        {RadioButton1, &TForm1::RadioButton1Click}, {RadioButton2, &TForm1::RadioButton2Click},
        {RadioButton3, &TForm1::RadioButton3Click}, {RadioButton4, &TForm1::RadioButton4Click},
        {RadioButton5, &TForm1::RadioButton5Click}, {RadioButton6, &TForm1::RadioButton6Click},
    };
    for (const auto& [radio, handler] : radios) {
        connect(radio, &QRadioButton::toggled, this, [handler = guard(handler)](bool checked) {
            if (checked)
                handler();
        });
    }
    Label6->installEventFilter(this);

    connect(&Timer1, &QTimer::timeout, this, guard(&TForm1::Timer1Timer));
    connect(&Timer2, &QTimer::timeout, this, guard(&TForm1::Timer2Timer));
    connect(&Timer3, &QTimer::timeout, this, guard(&TForm1::Timer3Timer));
    connect(&Timer6, &QTimer::timeout, this, guard(&TForm1::Timer6Timer));
    connect(&Timer7, &QTimer::timeout, this, guard(&TForm1::Timer7Timer));

    connect(m_tray, &TrayIcon::leftClicked, this, guard(&TForm1::comeBackFromTray));
    connect(m_tray, &TrayIcon::setupRequested, this, guard(&TForm1::Setup1Click));
    connect(m_tray, &TrayIcon::exitRequested, this, guard(&TForm1::Exit1Click));
    connect(m_notice, &DesktopNotice::showRequested, this, guard(&TForm1::comeBackFromTray));
}

QRegion TForm1::windowRegion()
{
    // CreateRoundRectRgn(80, 80, 760, 560, 70, 70): right and bottom edges
    // excluded, corner ellipses 70 x 70, built one row of pixels at a time.
    constexpr int left = 80, top = 80, right = 760, bottom = 560, radius = 35;
    QRegion region(left, top + radius, right - left, bottom - top - 2 * radius);
    for (int i = 0; i < radius; ++i) {
        const double dy = radius - i - 0.5;
        const int inset = static_cast<int>(std::lround(radius - std::sqrt(radius * radius - dy * dy)));
        const int width = right - left - 2 * inset;
        region += QRegion(left + inset, top + i, width, 1);
        region += QRegion(left + inset, bottom - 1 - i, width, 1);
    }
    return region;
}

QString TForm1::trayTip() const
{
    return paused() ? m_trayTip + QStringLiteral(" (paused)") : m_trayTip;
}

plimbury::IntervalGroup TForm1::wallpaperInterval() const
{
    return intervalGroup(Edit1, Edit2, Edit3);
}

plimbury::IntervalGroup TForm1::screensaverInterval() const
{
    return intervalGroup(Edit4, Edit5, Edit6);
}

std::string TForm1::currentProjectFile() const
{
    if (!SaveDialog1.fileName.isEmpty())
        return SaveDialog1.fileName.toStdString();
    return m_selectedProject;
}

// --- Start-up ----------------------------------------------------------------

void TForm1::FormCreate()
{
    std::vector<std::string> arguments;
    for (const QString& argument : m_services.arguments)
        arguments.push_back(argument.toStdString());
    const plimbury::StartupPlan plan = plimbury::startUp(*m_services.store, arguments, m_services.executablePath);
    m_runner->start(plan.paused);
    if (plan.firstRun)
        defaultIntervalRows();
    if (plan.toTray)
        Timer3.start();
    if (plan.selectedProject) {
        m_selectedProject = *plan.selectedProject;
        if (m_selectedProject.empty())
            Timer6.start();
        else
            Timer7.start();
    }

    setMask(windowRegion());
    // Off the taskbar and the task switcher: the window is a tool window from
    // its construction on, and showEvent adds the hints that X11 panels read.

    myImage_sel_wall->setShowHint(true);
    myImage_sel_scr->setShowHint(true);

    const QString dialogFolder =
        QString::fromStdString(m_services.dataFolder + plimbury::pathSeparator() + "VidoZeziv");
    SaveDialog1.initialFolder = dialogFolder;
    OpenDialog1.initialFolder = dialogFolder;
}

void TForm1::FormShow()
{
    m_runner->stopShow();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only a change of visibility counts, not the window system redrawing it.
    if (event->spontaneous())
        return;
    windowsystem::keepOffTaskbar(this);
    dialogs::guarded(this, [this] { FormShow(); });
}

void TForm1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setClipRegion(windowRegion());
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    event->accept();
    emit closed();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label6 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Label6->rect().contains(mouse->position().toPoint()))
            dialogs::guarded(this, [this] { Label6Click(); });
    } else if (watched == Image_bg && m_manualMove) {
        if (event->type() == QEvent::MouseMove) {
            move(QCursor::pos() - m_moveOffset);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            m_manualMove = false;
    }
    return QWidget::eventFilter(watched, event);
}

// --- Commands of the window itself -------------------------------------------

void TForm1::Image_bgMouseDown(Qt::MouseButton)
{
    // Any button drags, as a caption would; the window system moves the
    // window where it can, otherwise the pointer is followed here.
    if (QWindow* window = windowHandle(); window && window->startSystemMove())
        return;
    m_manualMove = true;
    m_moveOffset = QCursor::pos() - pos();
}

void TForm1::myImage_faqClick()
{
    const std::string sep = plimbury::pathSeparator();
    plimbury::openDocument(m_services.executableFolder + sep + "help" + sep + "index.htm");
}

void TForm1::myImage_exittClick()
{
    close();
}

// --- Hover pairs ---------------------------------------------------------------

namespace {
void light(TmyImage* lit)
{
    lit->setVisible(true);
    lit->setShowHint(true);
}
} // namespace

void TForm1::myImage_nbMouseMove() { light(myImage_n); }
void TForm1::myImage_nMouseLeave() { myImage_n->setVisible(false); }
void TForm1::myImage_obMouseMove() { light(myImage_o); }
void TForm1::myImage_oMouseLeave() { myImage_o->setVisible(false); }
void TForm1::myImage_sbMouseMove() { light(myImage_s); }
void TForm1::myImage_sMouseLeave() { myImage_s->setVisible(false); }
void TForm1::myImage_faqbMouseMove() { light(myImage_faq); }
void TForm1::myImage_faqMouseLeave() { myImage_faq->setVisible(false); }
void TForm1::myImage_doneMouseMove() { light(myImage_donet); }
void TForm1::myImage_donetMouseLeave() { myImage_donet->setVisible(false); }
void TForm1::myImage_exitMouseMove() { light(myImage_exitt); }
void TForm1::myImage_exittMouseLeave() { myImage_exitt->setVisible(false); }
void TForm1::myImage_wwMouseMove() { light(myImage_wr); }
void TForm1::myImage_wrMouseLeave() { myImage_wr->setVisible(false); }
void TForm1::myImage_swMouseMove() { light(myImage_sr); }
void TForm1::myImage_srMouseLeave() { myImage_sr->setVisible(false); }

// --- Pages and editors -----------------------------------------------------------

void TForm1::myImage_wrClick()
{
    GroupBox_scr->setVisible(false);
    myImage_sel_scr->setVisible(false);
    Button_display->setVisible(true);
    GroupBox_wall->setVisible(true);
    myImage_sel_wall->setVisible(true);
    FileListBox1->setVisible(true);
    FileListBox2->setVisible(false);
}

void TForm1::myImage_srClick()
{
    GroupBox_scr->setVisible(true);
    myImage_sel_scr->setVisible(true);
    Button_display->setVisible(false);
    GroupBox_wall->setVisible(false);
    myImage_sel_wall->setVisible(false);
    FileListBox1->setVisible(false);
    FileListBox2->setVisible(true);
}

void TForm1::myImage_sel_wallClick()
{
    if (m_wall)
        m_wall->showEditor();
}

void TForm1::myImage_sel_scrClick()
{
    if (m_screensaver)
        m_screensaver->showEditor();
}

// --- Interval rows -----------------------------------------------------------------

namespace {
void enableOnly(QLineEdit* on, QLineEdit* off1, QLineEdit* off2)
{
    on->setEnabled(true);
    off1->setEnabled(false);
    off2->setEnabled(false);
}
} // namespace

void TForm1::RadioButton1Click() { enableOnly(Edit1, Edit2, Edit3); }
void TForm1::RadioButton2Click() { enableOnly(Edit2, Edit1, Edit3); }
void TForm1::RadioButton3Click() { enableOnly(Edit3, Edit1, Edit2); }
void TForm1::RadioButton4Click() { enableOnly(Edit4, Edit5, Edit6); }
void TForm1::RadioButton5Click() { enableOnly(Edit5, Edit4, Edit6); }
void TForm1::RadioButton6Click() { enableOnly(Edit6, Edit4, Edit5); }
void TForm1::Label6Click() { enableOnly(Edit6, Edit4, Edit5); }

// --- Tray ------------------------------------------------------------------------

bool TForm1::goToTray(const QString& tip)
{
    m_trayTip = tip;
    const bool added = m_tray->add(trayTip());
    // Hidden even where no notification area shows the icon: the rotation
    // goes on, and starting the program again is the way back.
    hide();
    return m_services.trayAvailable ? m_services.trayAvailable() : added;
}

void TForm1::comeBackFromTray()
{
    show();
    raise();
    activateWindow();
    m_tray->remove();
    m_notice->withdraw();
}

void TForm1::Timer3Timer()
{
    goToTray(QStringLiteral("Vertanox Plimbury 2.1"));
    Timer3.stop();
}

void TForm1::Setup1Click()
{
    comeBackFromTray();
}

void TForm1::Exit1Click()
{
    close();
    m_tray->remove();
}

// --- Resume at start -------------------------------------------------------------

void TForm1::clearAllLists()
{
    FileListBox1->clearLines();
    FileListBox2->clearLines();
    if (m_wall)
        m_wall->clearChosenLines();
    if (m_screensaver)
        m_screensaver->clearChosenLines();
}

void TForm1::applyLoadedProject(const plimbury::LoadedProject& project)
{
    FileListBox1->setLines(project.wallpapers);
    if (m_wall)
        m_wall->setChosenLines(project.wallpapers);
    FileListBox2->setLines(project.screensavers);
    if (m_screensaver)
        m_screensaver->setChosenLines(project.screensavers);

    applyInterval({RadioButton1, RadioButton2, RadioButton3}, {Edit1, Edit2, Edit3}, project.wallpaperInterval);
    applyInterval({RadioButton4, RadioButton5, RadioButton6}, {Edit4, Edit5, Edit6}, project.screensaverInterval);
    m_runner->setDisplay(project.display);
    Button_display->setText(displayButtonCaption(project.display));
}

void TForm1::Button_displayClick()
{
    DisplayDialog dialog(this, m_runner->display());
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Like the interval boxes: the working settings, in use at once and
    // stored by Save and Save and Run.
    m_runner->setDisplay(dialog.settings());
    Button_display->setText(displayButtonCaption(dialog.settings()));
}

void TForm1::defaultIntervalRows()
{
    RadioButton1->setChecked(true);
    RadioButton4->setChecked(true);
    Edit1->setEnabled(true);
    Edit4->setEnabled(true);
    for (QLineEdit* edit : {Edit2, Edit3, Edit5, Edit6})
        edit->setEnabled(false);
}

void TForm1::Timer6Timer()
{
    clearAllLists();
    // Without a project nothing else sets the rows, and in their design
    // state every box is enabled: the last enabled box of a group would
    // decide the interval the user did not type.
    defaultIntervalRows();
    Timer6.stop();
}

void TForm1::Timer7Timer()
{
    // Off first: the error report below waits in a message box while timers
    // keep ticking, and the resume is tried once only.
    Timer7.stop();
    plimbury::LoadedProject project;
    try {
        project = plimbury::loadProject(m_selectedProject);
    } catch (...) {
        clearAllLists();
        defaultIntervalRows();
        throw;
    }
    applyLoadedProject(project);
    m_runner->resumeShow();
}
