// The status bar at the window's bottom edge: fixed-width panels with a text each.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace app {

class TStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  // Appends a panel of the given width.
  void AddPanel(int width, const QString& text);
  int PanelCount() const { return int(panels_.size()); }
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Panel {
    int width;
    QString text;
  };
  std::vector<Panel> panels_;
  // Counts change hundreds of times a second while polling; the bar shows them 20 times.
  QTimer repaint_;
};

}  // namespace app
