// The tool's one window: ten slave panels, the command buttons, the slave-count box, the
// traffic monitor, the status bar, the serial port and the poll timer.
#pragma once

#include "app/slave_stats.h"
#include "framework/timer.h"
#include "serial/com_port.h"

#include "framework/line_memo.h"
#include <QStringList>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QScrollArea;
class QTimer;

namespace instruments {
class TiIntegerOutput;
class TiLabel;
class TiSevenSegmentInteger;
class TAbLED;
}  // namespace instruments
namespace skin {
class TsuiButton;
class TsuiGroupBox;
}  // namespace skin

namespace app {

class TLineWatch;
class TRequestSend;
class TStatusBar;
class TTrafficCapture;

// Where the port settings are kept (the port's name is the last key).
inline const QString SettingsPath = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K");

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The components, by their names.
  skin::TsuiButton* suiButton1;  // serial settings
  skin::TsuiButton* suiButton2;  // start
  skin::TsuiButton* suiButton3;  // stop
  skin::TsuiGroupBox* sgrpbx11;  // slave count
  instruments::TiIntegerOutput* intgrtpt2;
  skin::TsuiButton* btn1;
  instruments::TiLabel* ilbl1;
  instruments::TiIntegerOutput* intgrtpt1;  // the address cycler
  instruments::TiLabel* ilbl4;
  framework::TLineMemo* mm1;
  TStatusBar* stat1;
  serial::TComPort* ComPort;
  framework::TTimer* tmr1;

  // Fields of the poll cycle.
  int PendingWrite = 0;
  int WriteAddress = 0;
  int WriteRegister = 0;
  int WriteValue = 0;
  int SlaveCount = 0;

  // The designed client area, and the status bar's height on the window's bottom edge.
  static constexpr int ClientWidth = 1782;
  static constexpr int ClientHeight = 788;
  static constexpr int StatusHeight = 19;
  // The components above the status bar live in this area; it scrolls when the window is
  // smaller than the designed client.
  QScrollArea* ClientArea() const { return client_; }

  // Per-slave figures of the poll cycle since the last start.
  const TSlaveStats& Stats() const { return stats_; }
  // The panels show them at most this often (ms) while polling.
  static constexpr int StatsInterval = 100;
  // Brings each panel's line up to date with the figures.
  void ShowStats();
  // Panel n's tooltip: its full figures; empty for a panel not in use or not yet polled.
  QString StatsTip(int n) const;
  // All slaves' figures in a window of their own (one at a time).
  void ShowStatsTable();

  // Finds a component of this window by name.
  template <typename T>
  T* FindComponent(const QString& name) const {
    return findChild<T*>(name);
  }

  // Handlers.
  void FormCreate();
  void FormClose();
  void suiButton1Click(QObject* Sender);
  void suiButton2Click(QObject* Sender);
  void suiButton3Click(QObject* Sender);
  void btn1Click(QObject* Sender);
  void intgrtpt2KeyPress(QObject* Sender, char16_t& Key);
  void btnA1D0Click(QObject* Sender);
  void intgrtptA1D0KeyPress(QObject* Sender, char16_t& Key);
  void intgrtpt1ChangeUser(QObject* Sender);
  void ComPortRxChar(QObject* Sender, int Count);
  void tmr1Timer(QObject* Sender);

  // Called when the poll cycle has stopped (the port closed after a stop) and after each
  // request it sends, with the number of requests since start; for a run without a window.
  std::function<void()> OnPollingStopped;
  std::function<void(int64_t sent)> OnRequestSent;
  // Called with what the monitor says when the line goes and when it is back.
  std::function<void(const QString& text)> OnLineNote;

  // Appends every frame of the session to the file from now on (see traffic_capture.h). Empty
  // when it is open, otherwise why it cannot be; polling goes on without a capture then.
  QString StartCapture(const QString& path);
  // The monitor's lines to a file, each with its full date and time in place of the seconds
  // and milliseconds the screen shows. Empty when written, otherwise why not.
  QString SaveMonitor(const QString& path) const;
  // The same, for a file the operator chooses; a failure is said in a message box.
  void SaveMonitorAs();

  // The newest lines the monitor keeps; older ones leave at the top. The monitor draws at most
  // ten times a second: at hundreds of lines a second, drawing each one costs a whole core.
  static constexpr int MonitorLineLimit = 100000;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateClientArea();
  void PlaceClientArea();
  void FitToScreen();
  void CreateComponents();
  void CreateSlavePanel(int n);
  void WireHandlers();
  void IncrementPanel(int index);
  void AppendMonitorLine(const QString& prefix, const uint8_t* bytes, int count,
                         const QString& suffix = QString());
  QWidget* ActiveControl() const;
  void ShowAnswer();
  void RequestSent(bool sent);
  void PollingStopped();
  bool closing_ = false;
  bool shown_ = false;
  QScrollArea* client_ = nullptr;
  QWidget* page_ = nullptr;  // the scrolled page that holds the designed components
  friend class TLineWatch;
  std::unique_ptr<TLineWatch> lineWatch_;
  std::unique_ptr<TRequestSend> requestSend_;
  bool rxWaiting_ = false;  // answer bytes came while their request was still being written
  TSlaveStats stats_;
  QTimer* statsTimer_ = nullptr;
  std::array<QLabel*, 11> statsLines_{};  // by slave address; [0] unused
  // The panels' lamps and displays by slave address ([0] unused), found once by their names:
  // looking them up by name for every answer cost more than the rest of the answer's handling.
  std::array<instruments::TAbLED*, 11> leds_{};
  std::array<std::array<instruments::TiSevenSegmentInteger*, 3>, 11> displays_{};
  void FindPanelParts();
  void CreateStatsLines();
  void CreateStatsTable();
  void CreateMonitorSave();
  // Null without --capture: the poll cycle then only tests the pointer.
  std::unique_ptr<TTrafficCapture> capture_;
  void CaptureFigures(const QString& why);
  void CaptureFailed(const QString& reason);
};

// The poll cycle's module state.
extern int AnswerState;
extern bool Polling;
extern QString MonitorLine;

}  // namespace app
