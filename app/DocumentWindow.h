#pragma once

#include <QMdiSubWindow>

namespace quenda {

class ViewDocument;

// The child window of one document: always maximised, with no system menu
// and no minimise or maximise box. It owns its document and its view.
class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    DocumentWindow(ViewDocument* document, QWidget* view);
    ViewDocument* Document() const { return document_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    ViewDocument* document_;
};

}  // namespace quenda
