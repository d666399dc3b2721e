#include "screens/boardscreens.h"

#include "screens/look.h"

#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QLabel>

namespace kestrel {

namespace {

struct Place
{
    int left, top, width, height;   // twips
};

struct ScreenRow
{
    BoardScreen::Which which;
    const char *name;
    const char *caption;
    int clientWidth, clientHeight;   // twips
    const char *picture;
    bool fixedPlace;                 // else the platform places it
    int left, top;                   // twips, client area from the screen's top-left corner
    bool whiteBackground;
    const char *closeButton;
    Place closePlace;
};

const ScreenRow kScreens[] = {
    {BoardScreen::Which::LedsAndJumpers, "frmLEDjump", "LEDs and Jumper settings", 9510, 6720,
     ":/kestrel/tessard-leds.jpg", true, 1440, 2250, true, "Command1", {7080, 6120, 1575, 495}},
    {BoardScreen::Which::Connectors, "frmConnector", "Connector Information", 9960, 5760,
     ":/kestrel/tessard-connectors.jpg", true, 2415, 3825, false, "Command1", {7200, 4800, 2055, 735}},
    {BoardScreen::Which::QuillonLayout, "QuillonLayout", "Form1", 10905, 7200,
     ":/kestrel/quillon-layout.bmp", false, 0, 0, false, "cmdexitQuillonLayout", {4665, 6720, 1575, 375}},
    {BoardScreen::Which::QuillonConnectors, "QuillonConnector", "Quillon Connectors", 11505, 3090,
     ":/kestrel/quillon-connectors.bmp", false, 0, 0, false, "cmdcloseQuillonConnector",
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
    const Place &p = row.closePlace;
    close->setGeometry(look::pixels(p.left, p.top, p.width, p.height));
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
    const QSize clientSize(look::px(row.clientWidth), look::px(row.clientHeight));
    const int menuHeight = menuWidget() ? menuBar()->sizeHint().height() : 0;
    if (row.fixedPlace)
        setGeometry(look::px(row.left), look::px(row.top) - menuHeight, clientSize.width(),
                    clientSize.height() + menuHeight);
    else
        resize(clientSize.width(), clientSize.height() + menuHeight);
}

} // namespace kestrel
