#pragma once

#include <QFrame>
#include <QTimer>

class QLabel;

namespace kestrel::screens {

// The splash screen: the product's name, version and maker, shown for a moment at start and once
// more while the main window loads. It closes itself after 750 ms, or at once on a character key
// or a click on its frame, and then asks for the main window (dismissed). Each showing is a fresh
// window.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);

    static constexpr int kTimerMs = 750;
    static QString versionLine();

signals:
    // The splash screen has closed; the main window should be shown (loaded first if need be) and
    // brought to the front.
    void dismissed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void unload();
    static void fitToText(QLabel *label);

    QFrame *m_frame;
    QTimer m_timer;
    bool m_unloaded = false;
};

} // namespace kestrel::screens
