#include "instruments/led/flash_timer.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <vector>

#include "instruments/led/ab_bin_g_control.h"

namespace instruments {

namespace {

struct TFlashClient {
  TAbBinGControl* Control;
  int Code;
  int LastState;  // 0 or 1 as last sent; -1 before the first tick, so that one draws at once
};

struct FlashModule {
  std::vector<TFlashClient> clients;
  uint32_t counter = 0;
  TAbFlashTimer* timer = nullptr;
  int timerCount = 0;
  bool finalizeAdded = false;
};

// GUI thread only.
FlashModule& Module() {
  static FlashModule module;
  return module;
}

void ShowOnlyOneTimerMessage() {
  const QString text = QString::fromUtf8(TAbFlashTimer::OnlyOneText);
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    qWarning("%s", qPrintable(text));
    return;
  }
  // Not modal: the component being created goes on being created meanwhile.
  auto* box =
      new QMessageBox(QMessageBox::Critical, QString::fromUtf8(TAbFlashTimer::OnlyOneTitle),
                      QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
}

void StartFlashTimer(FlashModule& m) {
  if (!m.finalizeAdded && QCoreApplication::instance()) {
    m.finalizeAdded = true;
    qAddPostRoutine(FinalizeFlash);
  }
  m.timer = new TAbFlashTimer(nullptr);
}

}  // namespace

TAbFlashTimer::TAbFlashTimer(QObject* owner) : TAbFlash(owner) {
  FlashModule& m = Module();
  ++m.timerCount;
  if (m.timerCount == 1)
    SetOnTick(FlashTick);
  else
    ShowOnlyOneTimerMessage();
}

TAbFlashTimer::~TAbFlashTimer() {
  FlashModule& m = Module();
  --m.timerCount;
  if (m.timer == this) m.timer = nullptr;
}

void RegisterFlash(TAbBinGControl* control, int code) {
  FlashModule& m = Module();
  bool found = false;
  for (TFlashClient& client : m.clients) {
    if (client.Control != control) continue;
    client.Code = code;
    found = true;
  }
  if (!found) m.clients.push_back({control, code, -1});
  if (m.clients.capacity() - m.clients.size() < 2) m.clients.reserve(m.clients.size() + 10);
  if (!m.timer)
    StartFlashTimer(m);
  else
    m.timer->SetEnabled(true);
}

void UnregisterFlash(TAbBinGControl* control) {
  FlashModule& m = Module();
  const auto record =
      std::find_if(m.clients.begin(), m.clients.end(),
                   [control](const TFlashClient& c) { return c.Control == control; });
  if (record != m.clients.end()) m.clients.erase(record);
  if (!m.clients.empty() || !m.timer) return;
  if (ApplicationClosing())
    delete m.timer;
  else
    m.timer->SetEnabled(false);  // nothing to flash: the thread ends until the next client
}

void FlashTick(QObject*) {
  FlashModule& m = Module();
  ++m.counter;
  const size_t count = m.clients.size();
  for (size_t i = 0; i < count; ++i) {
    if (ApplicationClosing() || i >= m.clients.size()) break;
    TFlashClient& client = m.clients[i];
    if (client.Code < 2 || client.Code > 6) continue;
    const int state = int((m.counter >> client.Code) & 1);
    if (state == client.LastState) continue;
    client.LastState = state;
    // Sent directly; the client's handling may change the list, so nothing of it is kept.
    TFlashStateEvent message(m.counter, state);
    try {
      QCoreApplication::sendEvent(client.Control, &message);
    } catch (...) {
    }
  }
}

void FinalizeFlash() {
  FlashModule& m = Module();
  m.finalizeAdded = false;
  delete m.timer;
  m.clients.clear();
  m.clients.shrink_to_fit();
}

TAbFlashTimer* FlashTimer() {
  return Module().timer;
}
uint32_t FlashCounter() {
  return Module().counter;
}
int FlashTimerCount() {
  return Module().timerCount;
}
int FlashClientCount() {
  return int(Module().clients.size());
}

int FlashClientCode(const TAbBinGControl* control) {
  for (const TFlashClient& client : Module().clients)
    if (client.Control == control) return client.Code;
  return 0;
}

}  // namespace instruments
