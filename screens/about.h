#pragma once

#include <QWidget>

namespace kestrel::screens {

// The About screen: the maker's interface products and the program's developers. It closes only
// through the title bar's close box.
class HelpScreen : public QWidget
{
    Q_OBJECT
public:
    explicit HelpScreen(QWidget *parent = nullptr);
};

} // namespace kestrel::screens
