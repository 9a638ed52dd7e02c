#pragma once

#include <QMdiSubWindow>

namespace quenda {

class CTalloDoc;

// The child window of one document: always maximised, with no system menu
// and no minimise or maximise box. It owns its document and its view.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CTalloDoc* document, QWidget* view);
    CTalloDoc* Document() const { return document_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CTalloDoc* document_;
};

}  // namespace quenda
