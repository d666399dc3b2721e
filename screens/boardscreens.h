#pragma once

#include <QMainWindow>
#include <QPixmap>

namespace kestrel::screens {

// A reference screen whose content is one picture of an interface board: the picture is drawn at
// its natural size from the top-left corner of the client area and never scaled; a Close button
// (and on the serial board's LED screen a File > Close menu) lies on top of it.
class BoardScreen : public QMainWindow
{
    Q_OBJECT
public:
    enum class Which { LedsAndJumpers, Connectors, QuillonLayout, QuillonConnectors };

    explicit BoardScreen(Which which, QWidget *parent = nullptr);

    const QPixmap &picture() const { return m_picture; }

    // The objectName of the screen, as the Other tab's buttons know it.
    static QString nameOf(Which which);

private:
    QPixmap m_picture;
};

} // namespace kestrel::screens
