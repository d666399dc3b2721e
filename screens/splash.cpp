#include "screens/splash.h"

#include "screens/look.h"
#include "screens/version.h"

#include <QKeyEvent>
#include <QLabel>

namespace kestrel {

using look::arial;
using look::pixels;

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_frame(new QFrame(this))
{
    setObjectName(QStringLiteral("frmSplash"));
    // A tool window, yet the program runs while it is the only window open (before the main
    // window, and after it when the operator exits at once).
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    setGeometry(pixels(2355, 3165, 7635, 4110));
    setFont(arial(8.25));
    setWindowIcon(look::appIcon());

    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_frame->setGeometry(pixels(120, 0, 7425, 4050));
    m_frame->installEventFilter(this);

    auto *logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setGeometry(pixels(360, 795, 1815, 2385));
    logo->setScaledContents(true);
    logo->setPixmap(look::appIcon().pixmap(72, 72));
    logo->setAttribute(Qt::WA_NoMousePropagation);

    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignTop;
    addLabel("lblCompanyProduct", QStringLiteral("The Brindle companion software:"), 2355, 705,
             3030, 240, arial(9.75, look::Italic), left, true);
    addLabel("lblProductName", QStringLiteral("Product"), 2760, 1200, 2535, 885,
             arial(32.25, look::Bold), left, true);
    addLabel("lblPlatform", QStringLiteral("Windows 2000/XP/2003"), 3345, 2340, 3510, 360,
             arial(15.75, look::Bold), right, true);
    addLabel("lblVersion", QStringLiteral("Version"), 5970, 2700, 885, 285,
             arial(12, look::Bold), right, true);
    addLabel("lblCopyright", QStringLiteral("Copyright %1").arg(QLatin1String(version::kYears)),
             5280, 3060, 1695, 255, arial(8.25), right, false);
    addLabel("lblCompany", QString::fromLatin1(version::kCompany), 4560, 3270, 2415, 255,
             arial(8.25), right, false);
    addLabel("lblWarning",
             QStringLiteral("Warning: protected by copyright law and patents of %1, %2.")
                 .arg(QLatin1String(version::kCompany), QLatin1String(version::kYears)),
             150, 3660, 6855, 195, arial(8.25, look::Italic), left, false);

    // Load: the two labels that carry the running program's title and version.
    auto *versionLabel = findChild<QLabel *>(QStringLiteral("lblVersion"));
    versionLabel->setText(versionLine());
    fitToText(versionLabel);
    auto *product = findChild<QLabel *>(QStringLiteral("lblProductName"));
    product->setText(QString::fromLatin1(version::kTitle));
    fitToText(product);

    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setSingleShot(true);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &frmSplash::unload);
    m_timer.start();
}

void frmSplash::fitToText(QLabel *label)
{
    // A label sized to its text keeps its right edge when it is right-aligned, so the right-aligned
    // lines stay flush with one another.
    const QRect before = label->geometry();
    label->adjustSize();
    if (label->alignment() & Qt::AlignRight)
        label->move(before.right() - label->width() + 1, before.top());
}

QString frmSplash::versionLine()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(version::kMajor)
        .arg(version::kMinor)
        .arg(version::kRevision);
}

QLabel *frmSplash::addLabel(const char *name, const QString &text, int left, int top, int width,
                            int height, const QFont &font, Qt::Alignment alignment, bool autoSize)
{
    auto *label = new QLabel(text, m_frame);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAlignment(alignment);
    label->setGeometry(pixels(left, top, width, height));
    label->setAttribute(Qt::WA_NoMousePropagation);   // a click on a label does not close
    if (autoSize)
        fitToText(label);
    return label;
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    // Only keys that produce a character close the screen; arrows, function keys, Shift and
    // Delete (which some platforms report with the DEL character) do not.
    if (!event->text().isEmpty() && event->key() != Qt::Key_Delete)
        unload();
    else
        QWidget::keyPressEvent(event);
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_frame && event->type() == QEvent::MouseButtonPress) {
        unload();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmSplash::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_timer.stop();
    // The main window is shown before this window goes, so that the program never finds itself
    // without a window in between.
    emit dismissed();
    close();
}

} // namespace kestrel
