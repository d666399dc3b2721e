#include "screens/about.h"

#include "screens/look.h"

#include <QLabel>
#include <QPainter>

namespace kestrel::screens {

namespace {

// A picture box: the picture drawn unscaled from its top-left corner on the system's window colour.
class PictureBox : public QWidget
{
public:
    PictureBox(const QString &file, QWidget *parent) : QWidget(parent), m_picture(file) {}
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
};

// The About screen's pictures and texts as data, places in twips; in the texts "{company}" and
// "{years}" stand for the maker and the copyright years.
struct Picture
{
    const char *name;
    const char *file;
    look::Place place;
};

const Picture kPictures[] = {
    {"Picture1", ":/kestrel/about.jpg", {960, 240, 3735, 2775}},
    {"Picture2", ":/kestrel/about-logo.gif", {2280, 4080, 1335, 1575}},
};

constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignTop;
const look::LabelRow kTexts[] = {
    {"AboutHelp",
     "The Tessard, Brindle and Quillon interfaces are products developed by Velmora Inc. (VLM)",
     {120, 3120, 5655, 855}, 12, look::Italic, kCentred},
    {"AboutHelp2", "Kestrel by the {company} engineering team, {years}", {600, 5760, 4815, 495}, 8.25,
     look::Regular, kCentred},
    {"Label1", "\u00a9 {years} {company}", {480, 6480, 4815, 375}, 12, look::Regular, kCentred},
};

constexpr look::WindowPlace kPlace{5865, 7140, true, 3630, 2295};

} // namespace

HelpScreen::HelpScreen(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpScreen"));
    setWindowTitle(QStringLiteral("About Kestrel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(look::arial(8.25));

    for (const Picture &row : kPictures) {
        auto *picture = new PictureBox(QString::fromLatin1(row.file), this);
        picture->setObjectName(QString::fromLatin1(row.name));
        picture->setGeometry(look::pixels(row.place));
    }
    for (const look::LabelRow &row : kTexts)
        look::makeLabel(row, this)->setWordWrap(true);
    look::placeWindow(*this, kPlace);
}

} // namespace kestrel::screens
