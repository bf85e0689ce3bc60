#pragma once

#include <QString>
#include <QWidget>

namespace qc {

// The coloured heading strip of the shell's windows: the product mark, a title
// and a line under it.
class Banner : public QWidget {
  public:
    Banner(QString title, QString subtitle, QWidget* parent = nullptr);
    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_title;
    QString m_subtitle;
};

}  // namespace qc
