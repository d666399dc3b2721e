#include "screens/splash.h"

#include "screens/look.h"
#include "screens/version.h"

#include <QKeyEvent>
#include <QLabel>

namespace kestrel::screens {

using look::arial;
using look::pixels;

namespace {

// The splash screen's labels, places in twips within the frame. The product's name and version,
// which Load fills in, are sized to their text, as are the two lines beside them.
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
const look::LabelRow kLabels[] = {
    {"lblCompanyProduct", "The Brindle companion software:", {2355, 705, 3030, 240}, 9.75, look::Italic, kLeft, true},
    {"lblProductName", "Product", {2760, 1200, 2535, 885}, 32.25, look::Bold, kLeft, true},
    {"lblPlatform", "Windows 2000/XP/2003", {3345, 2340, 3510, 360}, 15.75, look::Bold, kRight, true},
    {"lblVersion", "Version", {5970, 2700, 885, 285}, 12, look::Bold, kRight, true},
    {"lblCopyright", "Copyright {years}", {5280, 3060, 1695, 255}, 8.25, look::Regular, kRight},
    {"lblCompany", "{company}", {4560, 3270, 2415, 255}, 8.25, look::Regular, kRight},
    {"lblWarning", "Warning: protected by copyright law and patents of {company}, {years}.",
     {150, 3660, 6855, 195}, 8.25, look::Italic, kLeft},
};

constexpr look::WindowPlace kPlace{7635, 4110, true, 2355, 3165};
constexpr look::Place kFramePlace{120, 0, 7425, 4050};
constexpr look::Place kLogoPlace{360, 795, 1815, 2385};

} // namespace

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
    look::placeWindow(*this, kPlace);
    setFont(arial(8.25));
    setWindowIcon(look::appIcon());

    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_frame->setGeometry(pixels(kFramePlace));
    m_frame->installEventFilter(this);

    auto *logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setGeometry(pixels(kLogoPlace));
    logo->setScaledContents(true);
    logo->setPixmap(look::appIcon().pixmap(72, 72));
    logo->setAttribute(Qt::WA_NoMousePropagation);

    for (const look::LabelRow &row : kLabels) {
        QLabel *label = look::makeLabel(row, m_frame);
        label->setAttribute(Qt::WA_NoMousePropagation);   // a click on a label does not close
        if (row.sizedToText)
            fitToText(label);
    }

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

} // namespace kestrel::screens
