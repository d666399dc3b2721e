#pragma once

#include <QPushButton>

namespace kestrel::app {

// A push button whose caption wraps onto several lines when it is wider than the button, as the
// console's long captions ("Show Tessard Connector Screen") need. text() stays the caption.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    explicit WrapButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace kestrel::app
