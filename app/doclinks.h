#pragma once

#include "core/actionlog.h"
#include "core/table.h"

#include <QUrl>

namespace kestrel::app {

// Opens a document or web page with the user's associated program, in front of the operator.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl &url) = 0;   // false when the request failed
};

class DesktopOpener : public UrlOpener
{
public:
    bool open(const QUrl &url) override;
};

// The NAMA MDB chapters shipped beside the program, one button on each device tab.
struct PdfButton
{
    const char *control;
    const char *file;
    const char *errorMessage;
};
extern const core::Table<PdfButton> kPdfButtons;

// The documentation and web links of the main window. A PDF button checks that its file is there
// and makes one open request; a missing file or a failed request writes the button's error line,
// naming the path, and selects it. The web links open the maker's pages without a log line.
class DocLinks
{
public:
    DocLinks(core::ActionLog &log, UrlOpener &opener, QString programDirectory);

    void setOpener(UrlOpener &opener) { m_opener = &opener; }
    void setProgramDirectory(const QString &dir) { m_dir = dir; }

    void openPdf(const PdfButton &button);
    void openHomePage();
    void openOrderPage();

    QString pdfPath(const PdfButton &button) const;

private:
    core::ActionLog &m_log;
    UrlOpener *m_opener;
    QString m_dir;
};

} // namespace kestrel::app
