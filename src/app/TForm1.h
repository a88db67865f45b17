#pragma once
// The main window: the skinned, borderless, rounded window that owns the two
// working lists, the interval settings, the file dialogs, the tray icon and
// all timers. Handlers keep the names of the events they answer.

#include "widgets/Dialogs.h"

#include <QPoint>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class DesktopNotice;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class SortedListBox;
class TmyImage;
class TrayIcon;
class Twall;
class Tscreensaver;

namespace plimbury {
class Clock;
class ScreenSaverSelector;
class Store;
class Wallpaper;
enum class ControlCommand;
struct IntervalGroup;
struct LoadedProject;
struct ChannelSettings;
struct ProjectState;
class RotationRunner;
class TurnTimers;
struct ControlReply;
enum class Channel : std::size_t;
} // namespace plimbury

// What the window needs from the system; tests pass fakes.
struct AppServices {
    plimbury::Store* store = nullptr;
    const plimbury::Clock* clock = nullptr;
    plimbury::Wallpaper* wallpaper = nullptr;
    // Tells the system's screen saver about each change; without one only
    // SCRNSAVE.EXE is recorded.
    plimbury::ScreenSaverSelector* screenSaver = nullptr;
    std::string executablePath;   // for the autostart value
    std::string executableFolder; // help page
    std::string dataFolder;       // "lumavue.bmp" and VidoZeziv
    QStringList arguments;        // command-line arguments, program name excluded
    // Whether a notification area shows the tray icon; QSystemTrayIcon's
    // answer when not set.
    std::function<bool()> trayAvailable;
    // The D-Bus connection (by name) that carries the desktop notification
    // sent where no notification area shows the icon; the session bus when empty.
    QString notificationBus;
};

class TForm1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)
public:
    explicit TForm1(const AppServices& services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Created right after this window, before the message loop runs.
    void setEditors(Twall* wall, Tscreensaver* screensaver);

    // The current project file: SaveDialog1's name when set, else the selected project.
    std::string currentProjectFile() const;

    // Each page's interval group as its boxes hold it: which box is enabled,
    // and the three texts.
    plimbury::IntervalGroup wallpaperInterval() const;
    plimbury::IntervalGroup screensaverInterval() const;

    // What the start-up settled, for the window's tests.
    const std::string& selectedProject() const { return m_selectedProject; }
    bool wallpaperFirstTick() const;
    bool screensaverFirstTick() const;
    const dialogs::FileDialogSettings& openDialogSettings() const { return OpenDialog1; }
    const dialogs::FileDialogSettings& saveDialogSettings() const { return SaveDialog1; }

    // --- Handlers ---
    void FormCreate();
    void FormShow();
    void Image_bgMouseDown(Qt::MouseButton button);
    void myImage_faqClick();
    void myImage_exittClick();
    // hover pairs
    void myImage_nbMouseMove();   void myImage_nMouseLeave();
    void myImage_obMouseMove();   void myImage_oMouseLeave();
    void myImage_sbMouseMove();   void myImage_sMouseLeave();
    void myImage_faqbMouseMove(); void myImage_faqMouseLeave();
    void myImage_doneMouseMove(); void myImage_donetMouseLeave();
    void myImage_exitMouseMove(); void myImage_exittMouseLeave();
    void myImage_wwMouseMove();   void myImage_wrMouseLeave();
    void myImage_swMouseMove();   void myImage_srMouseLeave();
    // pages and editors
    void myImage_wrClick();
    void myImage_srClick();
    void myImage_sel_wallClick();
    void myImage_sel_scrClick();
    // how pictures meet the screen (wallpaper page)
    void Button_displayClick();
    // interval rows
    void RadioButton1Click(); void RadioButton2Click(); void RadioButton3Click();
    void RadioButton4Click(); void RadioButton5Click(); void RadioButton6Click();
    void Label6Click();
    // project commands (TForm1Commands.cpp)
    void myImage_nClick();
    void myImage_oClick();
    void myImage_sClick();
    void myImage_donetClick();
    // rotation (TForm1Rotation.cpp)
    void Timer1Timer();
    void Timer2Timer();
    // tray and start-up timers
    void Timer3Timer();
    void Timer6Timer();
    // The minutes rows of both groups checked and their boxes the only ones enabled.
    void defaultIntervalRows();
    void Timer7Timer();
    void Setup1Click();
    void Exit1Click();
    // Adds the tray icon with `tip` (" (paused)" added while the show is
    // paused) and hides the window. Returns false when no notification area
    // shows the icon.
    bool goToTray(const QString& tip);

    // A command of a later copy (--next, --pause, ...): what it prints and
    // its exit status. Errors come back as text, never as a message box: the
    // person who asked reads them where they asked.
    plimbury::ControlReply controlCommand(plimbury::ControlCommand command);
    bool paused() const;
    // Shows the window again and removes the tray icon (and the desktop
    // notification standing in for it).
    void comeBackFromTray();

    // Puts a loaded project into the window: both working lists and their
    // mirrors in the editors, then each interval group whose word was
    // recognised (edit boxes enabled/disabled, text, radio button), and the
    // display settings, which the rotation uses from then on. The timers are
    // not touched. Used by the resume at start and by Open.
    void applyLoadedProject(const plimbury::LoadedProject& project);

    // Clears the two working lists and the editors' chosen lists, in that order.
    void clearAllLists();

    // The window's visible shape: the rounded 680 x 480 area of the client.
    static QRegion windowRegion();

signals:
    // The window was closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- Controls (names of the window layout) ---
    TmyImage* Image_bg = nullptr;
    TmyImage* myImage_nb = nullptr;   TmyImage* myImage_n = nullptr;
    TmyImage* myImage_ob = nullptr;   TmyImage* myImage_o = nullptr;
    TmyImage* myImage_sb = nullptr;   TmyImage* myImage_s = nullptr;
    TmyImage* myImage_faqb = nullptr; TmyImage* myImage_faq = nullptr;
    TmyImage* myImage_done = nullptr; TmyImage* myImage_donet = nullptr;
    TmyImage* myImage_exit = nullptr; TmyImage* myImage_exitt = nullptr;
    TmyImage* myImage_ww = nullptr;   TmyImage* myImage_wr = nullptr;
    TmyImage* myImage_sw = nullptr;   TmyImage* myImage_sr = nullptr;
    TmyImage* myImage_sel_wall = nullptr;
    TmyImage* myImage_sel_scr = nullptr;
    SortedListBox* FileListBox1 = nullptr;   // working wallpaper list
    SortedListBox* FileListBox2 = nullptr;   // working screen-saver list
    QGroupBox* GroupBox_wall = nullptr;
    QGroupBox* GroupBox_scr = nullptr;
    QRadioButton* RadioButton1 = nullptr; QRadioButton* RadioButton2 = nullptr; QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr; QRadioButton* RadioButton5 = nullptr; QRadioButton* RadioButton6 = nullptr;
    QLineEdit* Edit1 = nullptr; QLineEdit* Edit2 = nullptr; QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr; QLineEdit* Edit5 = nullptr; QLineEdit* Edit6 = nullptr;
    QLabel* Label1 = nullptr; QLabel* Label2 = nullptr; QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr; QLabel* Label5 = nullptr; QLabel* Label6 = nullptr;
    QPushButton* Button_display = nullptr;   // "Fit: stretch...", the display settings
    dialogs::FileDialogSettings OpenDialog1;
    dialogs::FileDialogSettings SaveDialog1;
    QMenu* PopupMenu1 = nullptr;
    QAction* Setup1 = nullptr;
    QAction* Exit1 = nullptr;
    QTimer Timer1, Timer2, Timer3, Timer6, Timer7;
    TrayIcon* m_tray = nullptr;
    DesktopNotice* m_notice = nullptr;   // says where the window went when no tray icon can

    // --- Program-wide state ---
    std::string m_selectedProject;      // settime_selected, read once at start
    QString m_trayTip;            // the tip without the pause
    QString trayTip() const;      // with " (paused)" while the show is paused
    Twall* m_wall = nullptr;
    Tscreensaver* m_screensaver = nullptr;
    AppServices m_services;

    // The rotation's rules, turned by Timer1 and Timer2.
    std::unique_ptr<plimbury::TurnTimers> m_turnTimers;
    std::unique_ptr<plimbury::RotationRunner> m_runner;
    void createRunner();
    // A channel's list and interval group as the widgets hold them.
    plimbury::ChannelSettings channelSettings(plimbury::Channel channel) const;
    // A timer's tick: the runner's turn, then its reports shown one by one.
    void rotationTick(plimbury::Channel channel);

    // The window's lists and intervals, as Save and Save and Run store them.
    plimbury::ProjectState projectState() const;

    void createControls();
    void connectHandlers();
    TmyImage* makePicture(const char* name, const QString& picture, int left, int top);
    QGroupBox* makeIntervalGroup(const char* name, const QString& caption,
                                 QRadioButton** radios[3], QLineEdit** edits[3], QLabel** labels[3]);

    // Moving the window by hand where the window system offers no move of its own.
    bool m_manualMove = false;
    QPoint m_moveOffset;
};
