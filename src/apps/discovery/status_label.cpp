#include "status_label.h"

#include <QFontMetrics>

#include "window_words.h"

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);  // device and interface names come from outside: never markup
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setAccessibleName(QString::fromUtf8(words::kStatusName));
}

void StatusLabel::setStatus(const QString& line, const QString& details) {
  line_ = line;
  setToolTip(details);
  setAccessibleDescription(details);
  fit();
}

void StatusLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  fit();
}

void StatusLabel::fit() {
  setText(fontMetrics().elidedText(line_, Qt::ElideRight, contentsRect().width()));
}
