#include "screens/boardscreens.h"

#include "screens/look.h"

#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QLabel>

namespace kestrel::screens {

namespace {

using look::Place;

struct ScreenRow
{
    BoardScreen::Which which;
    const char *name;
    const char *caption;
    look::WindowPlace place;
    const char *picture;
    bool whiteBackground;
    const char *closeButton;
    Place closePlace;
};

const ScreenRow kScreens[] = {
    {BoardScreen::Which::LedsAndJumpers, "frmLEDjump", "LEDs and Jumper settings", {9510, 6720, true, 1440, 2250},
     ":/kestrel/tessard-leds.jpg", true, "Command1", {7080, 6120, 1575, 495}},
    {BoardScreen::Which::Connectors, "frmConnector", "Connector Information", {9960, 5760, true, 2415, 3825},
     ":/kestrel/tessard-connectors.jpg", false, "Command1", {7200, 4800, 2055, 735}},
    {BoardScreen::Which::QuillonLayout, "QuillonLayout", "Form1", {10905, 7200, false, 0, 0},
     ":/kestrel/quillon-layout.bmp", false, "cmdexitQuillonLayout", {4665, 6720, 1575, 375}},
    {BoardScreen::Which::QuillonConnectors, "QuillonConnector", "Quillon Connectors", {11505, 3090, false, 0, 0},
     ":/kestrel/quillon-connectors.bmp", false, "cmdcloseQuillonConnector",
     {8160, 2400, 1695, 495}},
};

const ScreenRow &rowOf(BoardScreen::Which which)
{
    for (const ScreenRow &row : kScreens)
        if (row.which == which)
            return row;
    return kScreens[0];
}

// The client area: the picture at its natural size from the top-left corner, nothing scaled.
class PictureArea : public QWidget
{
public:
    PictureArea(const QPixmap &picture, QWidget *parent) : QWidget(parent), m_picture(picture) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    const QPixmap &m_picture;
};

} // namespace

QString BoardScreen::nameOf(Which which)
{
    return QString::fromLatin1(rowOf(which).name);
}

BoardScreen::BoardScreen(Which which, QWidget *parent)
    : QMainWindow(parent)
{
    const ScreenRow &row = rowOf(which);
    setObjectName(QString::fromLatin1(row.name));
    setWindowTitle(QString::fromLatin1(row.caption));
    setAttribute(Qt::WA_DeleteOnClose);
    m_picture.load(QString::fromLatin1(row.picture));

    auto *client = new PictureArea(m_picture, this);
    client->setObjectName(objectName() + QStringLiteral("Client"));
    if (row.whiteBackground) {
        client->setAutoFillBackground(true);
        QPalette palette = client->palette();
        palette.setColor(QPalette::Window, Qt::white);
        client->setPalette(palette);
    }
    setCentralWidget(client);

    auto *close = new QPushButton(QStringLiteral("Close"), client);
    close->setObjectName(QString::fromLatin1(row.closeButton));
    close->setGeometry(look::pixels(row.closePlace));
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    if (which == Which::LedsAndJumpers) {
        auto *label = new QLabel(QStringLiteral("LED and Jumper Functions"), client);
        label->setObjectName(QStringLiteral("Label1"));
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(24);
        label->setFont(font);
        label->setGeometry(look::pixels(240, 6120, 6375, 615));
        QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
        file->setObjectName(QStringLiteral("mnuFile"));
        QAction *closeItem = file->addAction(QStringLiteral("&Close"));
        closeItem->setObjectName(QStringLiteral("mnuClose"));
        connect(closeItem, &QAction::triggered, this, &QWidget::close);
    }

    // The client area (below the menu bar, where there is one) has the screen's size; a fixed
    // screen has it at its place, not its frame.
    look::placeWindow(*this, row.place, menuWidget() ? menuBar()->sizeHint().height() : 0);
}

} // namespace kestrel::screens
