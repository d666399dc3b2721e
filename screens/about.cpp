#include "screens/about.h"

#include "screens/look.h"
#include "screens/version.h"

#include <QLabel>
#include <QPainter>

namespace kestrel {

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

} // namespace

HelpScreen::HelpScreen(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpScreen"));
    setWindowTitle(QStringLiteral("About Kestrel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(look::arial(8.25));

    auto *picture1 = new PictureBox(QStringLiteral(":/kestrel/about.jpg"), this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setGeometry(look::pixels(960, 240, 3735, 2775));

    const QString company = QString::fromLatin1(version::kCompany);
    const QString years = QString::fromLatin1(version::kYears);
    struct Text
    {
        const char *name;
        QString text;
        int left, top, width, height;
        QFont font;
    };
    const Text texts[] = {
        {"AboutHelp",
         QStringLiteral("The Tessard, Brindle and Quillon interfaces are products developed by "
                        "Velmora Inc. (VLM)"),
         120, 3120, 5655, 855, look::arial(12, look::Italic)},
        {"AboutHelp2", QStringLiteral("Kestrel by the %1 engineering team, %2").arg(company, years),
         600, 5760, 4815, 495, look::arial(8.25)},
        {"Label1", QStringLiteral("\u00a9 %1 %2").arg(years, company), 480, 6480, 4815, 375,
         look::arial(12)},
    };
    for (const Text &t : texts) {
        auto *label = new QLabel(t.text, this);
        label->setObjectName(QString::fromLatin1(t.name));
        label->setFont(t.font);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setGeometry(look::pixels(t.left, t.top, t.width, t.height));
    }

    auto *picture2 = new PictureBox(QStringLiteral(":/kestrel/about-logo.gif"), this);
    picture2->setObjectName(QStringLiteral("Picture2"));
    picture2->setGeometry(look::pixels(2280, 4080, 1335, 1575));

    setGeometry(look::pixels(3630, 2295, 5865, 7140));
}

} // namespace kestrel
