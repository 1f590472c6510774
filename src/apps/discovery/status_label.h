// The status line's label: one line, cut with an ellipsis when it does not fit; the whole text, one
// item per line, in its tooltip.
#pragma once

#include <QLabel>

class StatusLabel : public QLabel {
 public:
  explicit StatusLabel(QWidget* parent);

  void setStatus(const QString& line, const QString& details);
  QString fullText() const { return line_; }  // what the line says before any cut

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fit();

  QString line_;
};
