#include "app/doclinks.h"

#include "app/weblinks.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace kestrel::app {

namespace {
const PdfButton kPdfButtonRows[] = {
    {"cmdCoinPDF", "mdb_5.pdf", "Error opening PDF, verify files exsistence in program directory, "},
    {"cmdBillPDF", "mdb_6.pdf", "Error opening PDF, verify files exsistence in program's directory, "},
    {"cmdCashlessPDF", "mdb_7.pdf", "Error opening PDF, verify files exsistence in program directory, "},
};
} // namespace

const core::Table<PdfButton> kPdfButtons = kPdfButtonRows;

bool DesktopOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

DocLinks::DocLinks(core::ActionLog &log, UrlOpener &opener, QString programDirectory)
    : m_log(log), m_opener(&opener), m_dir(std::move(programDirectory))
{
}

QString DocLinks::pdfPath(const PdfButton &button) const
{
    return QDir::toNativeSeparators(m_dir + QLatin1Char('/') + QLatin1String(button.file));
}

void DocLinks::openPdf(const PdfButton &button)
{
    core::Trap trap = m_log.trap(QString::fromLatin1(button.errorMessage));
    trap([&] {
        const QString path = pdfPath(button);
        if (!QFileInfo::exists(path))
            throw core::Failure(53, QStringLiteral("File not found: %1").arg(path));
        if (!m_opener->open(QUrl::fromLocalFile(QDir::fromNativeSeparators(path))))
            throw core::Failure(31, QStringLiteral("No program could open %1").arg(path));
    });
}

void DocLinks::openHomePage()
{
    m_opener->open(QUrl(QString::fromLatin1(weblinks::kHome)));
}

void DocLinks::openOrderPage()
{
    m_opener->open(QUrl(QString::fromLatin1(weblinks::kOrder)));
}

} // namespace kestrel::app
